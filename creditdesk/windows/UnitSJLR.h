#pragma once

#include "DeskDialog.h"
#include "Query.h"

class QCheckBox;

namespace Ui {
class TFormSJLR;
}

// Batch credit entry: a school's students, forty to a page in a two-sided
// grid. The user types each student's required and elective credits into a
// floating editor over the grid (the total follows) and saves the page with
// one update per student; two check boxes give every student of the school
// the same credits at once.
//
// Grid rows are numbered as the user sees them: row 0 is the header, rows
// 1-20 hold students. Position k (1-40) on a page is the left side's row k
// for k <= 20 and the right side's row k - 20 otherwise.
class TFormSJLR : public DeskDialog {
    Q_OBJECT
public:
    explicit TFormSJLR(QWidget* parent = nullptr);
    ~TFormSJLR() override;

    static constexpr int PageSize = 40;
    static constexpr int SideRows = 20;
    static constexpr int SideColumns = 6;

    void FormShow() override;
    void Edit39Change();           // county code typed: on to the school code
    void Edit40KeyPress();         // Enter in the school code: load the school
    void BitBtn1Click();           // 数据刷新
    void Button1Click();           // 上一页
    void Button2Click();           // 下一页
    void SpinEdit1Change(int value);
    void GridSelectCell(int column, int row);
    void Edit3KeyPress();          // Enter in the cell editor
    void Edit3Exit();              // the cell editor loses the focus
    void Button5Click();           // 保存
    void Button6Click();           // 重填
    void CheckBox1Click();         // 必修学分全部为：
    void CheckBox2Click();         // 选修学分全部为：
    void Button3Click();           // 学分录入使用说明
    void ChCloseClick();           // × on the instructions
    void Button7Click();           // 退出

    // Loads the school named by the two codes and shows its first page.
    // Returns false (after saying so) when it has no students.
    bool LoadSchool();
    // Shows page `page` (brought into 1..N) of the loaded school.
    void ShowPage(int page);
    // Gives every student of the school the credits of Edit1 and Edit2
    // when `clicked` is ticked (see the .cpp for the tick of the other box).
    void SetAllCredits(QCheckBox* clicked, QCheckBox* other);

    // The text of grid cell (column, row), row 1-20 for students.
    QString Cells(int column, int row) const;
    void setCells(int column, int row, const QString& text);

    int CurrentPage = 0;                 // 0 until a school is loaded
    int pageCount() const;               // N; 0 until a school is loaded
    bool schoolLoaded() const { return ADOQuery1.recordCount() > 0; }

    Query ADOQuery1; // the loaded school's students, in sub-number order

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Opens the students of `unit` (county code + school code).
    Query schoolQuery(const QString& unit) const;
    // Takes `students` as the loaded school and shows `page`.
    void takeSchool(Query students, const QString& unit, int page);
    // The codes in the two boxes, as one unit code.
    QString typedUnit() const;
    void setUpColumns();
    void setPageBox(int page);
    void openEditor(int column, int row);
    // Writes the editor's text into the current cell and hides the editor.
    // With `forceTotal` the total is computed even when a credit is missing.
    void commitEditor(bool forceTotal);
    void moveEditorTo(int column, int row);
    // Stores the credits of the page's students; false when a check stopped it.
    bool savePage();

    Ui::TFormSJLR* ui;
    QString loadedUnit_;
    bool committing_ = false;
    bool editorOverGrid_ = false;
    bool pageSaveCopied_ = false; // the safety copy of this showing, before its first save
    int settingAll_ = 0;          // depth of SetAllCredits (it runs itself for the other box)
    bool wholeSchoolCopied_ = false; // the safety copy of the outermost SetAllCredits
};
