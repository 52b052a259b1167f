<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>CBootRestartPage</name>
    <message>
        <source>1. Use the power button to turn the Velvane projector off.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>2. Reset the Velvane projector by unplugging it from the wall socket, and plugging it back in.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>3. Connect the computer to the USB receptacle on the extended connection panel.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>4. Press and hold the &quot;Up&quot; key on the projector&apos;s keypad.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>5. Press and hold the &quot;Standby&quot; key on the projector&apos;s keypad until the keypad LED flashes amber.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>6. Release the &quot;Standby&quot; key and then the &quot;Up&quot; key.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>If the keypad LED is not flashing amber, restart at step 2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Press Next to continue.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CBurnFirmwareThread</name>
    <message>
        <source>File not found</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CDetectDevicePage</name>
    <message>
        <source>Searching for targets on USB bus</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Would you like to update the firmware?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Yes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not find a connected Velvane projector in service mode.  A flashing amber keypad LED indicates the projector is in service mode.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Multiple Velvane projectors in service mode have been found.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not find a connected Velvane projector in service mode.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Found one Velvane projector in service mode.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CFinishPage</name>
    <message>
        <source>To close this wizard, press Finish.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The Velvane projector firmware update is complete.

Reset the projector by unplugging it and plugging it back in.

Disconnect the USB cable from extended connection panel.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not update the Velvane projector&apos;s firmware. </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not update the Velvane projector&apos;s firmware. No projector found.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not update the Velvane projector&apos;s firmware. Found more than one projector.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not update the Velvane projector&apos;s firmware. The firmware was not downloaded to the projector</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not update the Velvane projector&apos;s firmware. Firmware download checksum failure</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not update the Velvane projector&apos;s firmware. Firmware flash checksum failure</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not update the Velvane projector&apos;s firmware.

Reset the projector by unplugging it and plugging it back in.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CUpdatePage</name>
    <message>
        <source>Updating the firmware in the Velvane projector...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Firmware update progress</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The firmwware update has failed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Press Next to continue.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The firmware update is complete.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to download image file to the board.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to download the image file to the board. The checksum returned doesn&apos;t match the original one.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to update the firmware. The flash checksum doesn&apos;t match with the original one.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Firmware update failed.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CWelcomePage</name>
    <message>
        <source>Welcome to the Velvane Projector Update Wizard.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Use this wizard to update the firmware in a Velvane projector.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>NOTE: The first time you connect the projector, the &quot;New Hardware Wizard&quot; will run.  Use the wizard to install the Parvel board driver.  The wizard will find this driver automatically.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Press Next to continue.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>To exit, press Cancel. </source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CWizardTemplate</name>
    <message>
        <source>Velvane Projector Update Wizard</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt; Back</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Next &gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Back</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Finish</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
