#include "CreditStation.h"
#include "UnitDRSJ.h"
#include "UnitMain.h"
#include "UnitSJDC.h"
#include "Unitsjdcbg.h"

CreditStation::CreditStation() {
    // The main window owns the others (they are its child windows).
    main_ = std::make_unique<TMainForm>(*this);
    MainForm = main_.get();
    FormDRSJ = new TFormDRSJ(MainForm);
    FormSJDC = new TFormSJDC(*this, MainForm);
    sjdcbgfrm = new Tsjdcbgfrm(MainForm);
}

CreditStation::~CreditStation() = default;
