// QdScreenshots.h -- pictures of the main window in its usual states, taken
// from a real window over a bank (documentation and visual checks).
#pragma once

#include <QSize>
#include <QString>

// QdSaveScreenshots -- opens the bank in a new main window, selects its
// second style and saves main-style.png, main-chordvar.png, help.png,
// media.png, the piano roll open beside the tree (roll-<standard name>.png
// for each of the style's chord variations, roll-track.png with its first
// chord variation's first track picked out, roll-playing.png with the
// playhead in that chord variation's second measure), question.png and
// report.png (the report after its first chord variation was exported and
// imported again, then undone) into rkstrDir (created when missing). Nothing waits for the user: questions are
// answered Cancel, messages end the run.
// The window has rkoSize (a size below its default counts as the default;
// an invalid size: the default size, the designed client below the menu bar).
// False with the reason in rstrError when a picture could not be taken.
bool QdSaveScreenshots(const QString& rkstrBankPath, const QString& rkstrDir, QString& rstrError,
                       const QSize& rkoSize = QSize());
