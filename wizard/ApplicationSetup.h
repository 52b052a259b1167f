#pragma once

// What every program showing the wizard does once its QApplication exists and
// before the wizard is built: the version, the record of the run in Qt's
// logging, the translation for the user's
// locale (the pages translate their texts when they are built) and the font
// the fixed window is laid out for.
void prepareApplication();
