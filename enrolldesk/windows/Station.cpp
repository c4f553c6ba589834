#include "Station.h"
#include "UnitCJ_BMK.h"
#include "UnitCJ_SJDR.h"
#include "UnitDY_ZKZCGB.h"
#include "UnitJY_CSBMB.h"
#include "UnitSJXG.h"
#include "IdCardReader.h"
#include "StationFolder.h"
#include "UnitBKBM.h"
#include "UnitBKJKB.h"
#include "UnitPZ_DKQ.h"
#include "UnitSC_JKB.h"
#include "UnitSJDC.h"
#include "UnitSJDR.h"
#include "UnitSJHF.h"
#include "UnitSJLR.h"
#include "UnitZPCJ.h"
#include "UnitZPSZ.h"
#include "Unitdata.h"
#include "mainform.h"

EnrollStation::EnrollStation() {
    // The main window owns the others (they are its child windows).
    main_ = std::make_unique<TFormMain>(*this);
    FormMain = main_.get();
    FormSJLR = new TFormSJLR(FormMain);
    FormCJ_BMK = new TFormCJ_BMK(FormMain);
    FormZPCJ = new TFormZPCJ(FormMain);
    FormZPSZ = new TFormZPSZ(FormMain);
    FormSJDR = new TFormSJDR(FormMain);
    FormSJDC = new TFormSJDC(FormMain);
    FormJY_CSBMB = new TFormJY_CSBMB(FormMain);
    FormSJXG = new TFormSJXG(FormMain);
    FormSC_JKB = new TFormSC_JKB(FormMain);
    Data = new TData(FormMain);
    FormCJ_SJDR = new TFormCJ_SJDR(FormMain);
    FormBKBM = new TFormBKBM(FormMain);
    FormBKJKB = new TFormBKJKB(FormMain);
    FormPZ_DKQ = new TFormPZ_DKQ(FormMain);
    FormDY_ZKZCGB = new TFormDY_ZKZCGB(FormMain);
    FormSJHF = new TFormSJHF([] { return StationFolder::registrationDb(); }, false, FormMain);

    FormZPCJ->setData(Data);
    FormSJXG->setData(Data);
    FormZPCJ->setSettingsDialog(FormZPSZ);
    FormZPSZ->setPhotoWindow(FormZPCJ);
    FormSJLR->setReader(IdCardReader::open(StationFolder::setupIni(), StationFolder::cardFolder(), &readerWarning));
}

EnrollStation::~EnrollStation() = default;
