#pragma once

#include "DeskDialog.h"
#include "Query.h"

class DataSource;

namespace Ui {
class Tsjdcbgfrm;
}

// The check report shown at the end of every export: how many students were
// exported, which of them fail the credit rules, whose total is not the sum
// of their credits; each list can be written to an Excel workbook.
class Tsjdcbgfrm : public DeskDialog {
    Q_OBJECT
public:
    explicit Tsjdcbgfrm(QWidget* parent = nullptr);
    ~Tsjdcbgfrm() override;

    // Conditions appended to the export's selection. A comparison with a null
    // credit is never true.
    static QString failingRule();      // below 116 required, 28 elective or 144 total
    static QString inconsistentRule(); // required + elective differs from the total

    // The row count of `sql` on the database at `path`.
    int getct(const QString& path, const QString& sql);
    // Open `sql` into the failing list (DBGrid1) and the inconsistent list
    // (DBGrid2), with their counts in lbhg and lbdy.
    void txbhg(const QString& path, const QString& sql);
    void txbdy(const QString& path, const QString& sql);

    void FormShow() override;
    void BitBtn1Click(); // 确定
    void BitBtn2Click(); // the failing list to Excel
    void BitBtn3Click(); // the inconsistent list to Excel

    Query ADOQuery1; // count
    Query adoqbhg;   // failing students
    Query adoqbdy;   // inconsistent students
    Query ADOC;      // the Excel exports

private:
    void exportList(const QString& fileName, const QString& rule);

    Ui::Tsjdcbgfrm* ui;
    DataSource* failing_;
    DataSource* inconsistent_;
};
