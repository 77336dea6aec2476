// The main window's settings: read while it is created and first shown,
// written when it closes, in the settings file's order.
#pragma once

namespace tavo {

class TfrmTavo2MainForm;

// FormCreate: window placement with the size check, then the options.
void readCreateSettings(TfrmTavo2MainForm& form);
// FormShow: the zoom button put down (without its command), then the work
// area's colour. Throws EConvertError for a colour that is no colour.
void readShowSettings(TfrmTavo2MainForm& form);
// FormClose: every setting; throws EIniFileException at the first refused write.
void FormClose(TfrmTavo2MainForm& form);

} // namespace tavo
