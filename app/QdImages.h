// QdImages.h -- the pictures of the program, drawn in code so that they stay
// sharp at any screen scale: the tool-button images, the tree-view images
// (both by index), the program icon and the close mark of the media panel.
#pragma once

#include <QIcon>

// QdToolImage -- image iIndex of the tool bar's image list: 0 open, 1 save,
// 2 import a whole style, 3 import a chord variation, 5 export, 6 undo,
// 7 help, 8 play, 9 delete (4 is unused).
QIcon QdToolImage(int iIndex);
// QdTreeImage -- image iIndex of the tree views' image list: 0 style,
// 1 style element, 2 chord variation, 3 track, 4 style bank, 5 selected or
// open style, 6 style changed and written back, 7 style damaged when
// loaded, 8 damaged style selected or open.
QIcon QdTreeImage(int iIndex);
// QdProgramIcon -- the program's icon (window, notice, desktop).
QIcon QdProgramIcon();
// QdCloseImage -- the small close mark of the media panel.
QIcon QdCloseImage();
