#pragma once

// What every program showing the wizard does before its QApplication exists:
// Qt 5 scales the window to the display only when asked, so at 125 % to
// 200 % the fixed window would otherwise keep its pixel size while its
// texts grow. The scale is taken as the display gives it, not rounded.
void prepareDisplayScaling();

// How the window is drawn, once the QApplication exists and before any widget:
// the font the fixed window is laid out for, and with Qt 5 the platform's
// style with its texts drawn in device pixels (CWholePixelTextStyle).
void prepareWindowLook();

// What every program showing the wizard does once its QApplication exists and
// before the wizard is built: the version, the record of the run in Qt's
// logging, the translation for the user's
// locale (the pages translate their texts when they are built) and the
// window's look (prepareWindowLook).
void prepareApplication();
