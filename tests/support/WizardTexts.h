#pragma once

#include <QString>

// What the wizard says, letter for letter, where several tests look for it.

// The frame's Next button on the last page.
inline const QString kFinishButton = QStringLiteral("Finish");

// The last line of the welcome, instruction and update pages.
inline const QString kPressNext = QStringLiteral("Press Next to continue.");

// The detection page's outcome line: no board, several boards, one board
// that gave its name, one board that did not.
inline const QString kDetectedNone = QStringLiteral("Could not find a connected Velvane projector in service mode.  A "
                                                    "flashing amber keypad LED indicates the projector is in service "
                                                    "mode.");
inline const QString kDetectedSeveral = QStringLiteral("Multiple Velvane projectors in service mode have been found.");
inline const QString kDetectedOne = QStringLiteral("Found one Velvane projector in service mode.");
inline const QString kDetectedSilent = QStringLiteral("Could not find a connected Velvane projector in service mode.");

// The update page's status line while the transfer runs and after it has
// worked, and the line it adds when it has not.
inline const QString kUpdating = QStringLiteral("Updating the firmware in the Velvane projector...");
inline const QString kUpdateComplete = QStringLiteral("The firmware update is complete.");
inline const QString kUpdateFailed = QStringLiteral("Firmware update failed.");

// The one message box: the image could not be read.
inline const QString kFileNotFound = QStringLiteral("File not found");

// The finish page's message for each stored status, 0 to 7.
inline const QString kFinishMessages[] = {
    QStringLiteral("The Velvane projector firmware update is complete.\n\nReset the projector by unplugging it and "
                   "plugging it back in.\n\nDisconnect the USB cable from extended connection panel."),
    QStringLiteral("Could not update the Velvane projector's firmware. "),
    QStringLiteral("Could not update the Velvane projector's firmware. No projector found."),
    QStringLiteral("Could not update the Velvane projector's firmware. Found more than one projector."),
    QStringLiteral("Could not update the Velvane projector's firmware. The firmware was not downloaded to the "
                   "projector"),
    QStringLiteral("Could not update the Velvane projector's firmware. Firmware download checksum failure"),
    QStringLiteral("Could not update the Velvane projector's firmware. Firmware flash checksum failure"),
    QStringLiteral("Could not update the Velvane projector's firmware.\n\nReset the projector by unplugging it and "
                   "plugging it back in."),
};
