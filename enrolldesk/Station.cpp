#include "Station.h"
#include "UnitCJ_BMK.h"
#include "UnitCJ_SJDR.h"
#include "IdCardReader.h"
#include "StationFolder.h"
#include "UnitPZ_DKQ.h"
#include "UnitSJDC.h"
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
    FormSJDC = new TFormSJDC(FormMain);
    Data = new TData(FormMain);
    FormCJ_SJDR = new TFormCJ_SJDR(FormMain);
    FormPZ_DKQ = new TFormPZ_DKQ(FormMain);

    FormZPCJ->setData(Data);
    FormZPCJ->setSettingsDialog(FormZPSZ);
    FormZPSZ->setPhotoWindow(FormZPCJ);
    FormSJLR->setReader(IdCardReader::open(StationFolder::setupIni(), StationFolder::cardFolder(), &readerWarning));
}

EnrollStation::~EnrollStation() = default;
