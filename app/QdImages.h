// QdImages.h -- the small pictures of the tool buttons and tree views, by index.
#pragma once

#include <QIcon>

// QdImage -- image iIndex (0..9) of the tool-button and tree image lists.
QIcon QdImage(int iIndex);
