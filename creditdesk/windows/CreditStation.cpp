#include "CreditStation.h"
#include "DeskError.h"
#include "FileProtection.h"
#include "StationFolder.h"
#include "UnitDRSJ.h"
#include "UnitDY_FS.h"
#include "UnitDY_FXQ.h"
#include "UnitDY_FXX.h"
#include "UnitMain.h"
#include "UnitSJDC.h"
#include "UnitSJHF.h"
#include "UnitSJLR.h"
#include "UnitXFSJLR.h"
#include "Unitsjdcbg.h"

CreditStation::CreditStation() {
    protectStationFiles();
    // The main window owns the others (they are its child windows).
    main_ = std::make_unique<TMainForm>(*this);
    MainForm = main_.get();
    FormSJLR = new TFormSJLR(MainForm);
    FormXFSJLR = new TFormXFSJLR(MainForm);
    FormDY_FS = new TFormDY_FS(MainForm);
    FormDY_FXQ = new TFormDY_FXQ(MainForm);
    FormDY_FXX = new TFormDY_FXX(MainForm);
    FormDRSJ = new TFormDRSJ(MainForm);
    FormSJDC = new TFormSJDC(*this, MainForm);
    sjdcbgfrm = new Tsjdcbgfrm(MainForm);
    FormSJHF = new TFormSJHF([] { return StationFolder::creditDb(); }, true, MainForm);
}

CreditStation::~CreditStation() = default;

void CreditStation::protectStationFiles() {
    // A station that ended while it had a file lifted (a crash, a power cut)
    // left that file open to any tool; it is protected again now.
    for (const QString& path : {StationFolder::creditDb(), StationFolder::nameTableDb()}) {
        try {
            FileProtection::protect(path);
        } catch (const DeskError&) {
            // A file on a read-only install stays as it is; the first action
            // that lifts it reports the reason.
        }
    }
}
