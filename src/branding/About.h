#pragma once

#include "recovery/MessageBoxes.h"
#include "base/Module1.h"

#include <QString>
#include <QStringList>

namespace ignivex {

// The notice on the splash; the About box adds a full stop.
QString copyrightNotice();

// The program line that follows the company name in the About box's first line.
inline const char* const kAboutProgramLine = " Ignivex Data Logging Program Revision 1.10";

// About lines shown below the copyright line at most: a screenful.
inline constexpr int kMaxAboutBoxLines = 40;

// The About box text: About line 1 and the program line, the copyright notice with a full
// stop, an empty line, then each further About line (at most kMaxAboutBoxLines of them, then
// a line that counts the rest). Every line ends with CR LF.
QString AboutText(const QStringList& aboutLines);

// Help, About (mnuAbout): the About text in an information box with OK, titled "About".
void showAbout(MessageBoxes& boxes, const Module1& module);

}  // namespace ignivex
