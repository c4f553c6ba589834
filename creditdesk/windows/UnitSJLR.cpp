#include "UnitSJLR.h"
#include "CreditEntry.h"
#include "CreditGrid.h"
#include "Dialogs.h"
#include "ErrorBoundary.h"
#include "SafetyCopy.h"
#include "StationFolder.h"
#include "Text.h"
#include "ui_UnitSJLR.h"

#include <QApplication>
#include <QHeaderView>
#include <QScopeGuard>
#include <QSignalBlocker>

namespace {

const QString noStudents = QStringLiteral("数据库中不存在该学校的学生信息，请确认信息已导入！");

// The six columns of one side, left to right. The ID number column is wider
// than the 120 pixels it had with the old 宋体, whose digits were half a
// character wide: the CJK fonts that stand in for it need 136 pixels for
// 18 digits, which the grid's spare width allows on both sides.
const int columnWidths[TFormSJLR::SideColumns] = {107, 60, 136, 55, 55, 45};
const char16_t* const columnHeaders[TFormSJLR::SideColumns] = {u"学业水平测试副号", u"姓名", u"身份证号",
                                                               u"必修学分", u"选修学分", u"总学分"};
const char16_t* const columnFields[TFormSJLR::SideColumns] = {u"学业水平测试副号", u"姓名", u"身份证号",
                                                              u"必修学分", u"选修学分", u"总学分"};

} // namespace

using namespace CreditGrid;

TFormSJLR::TFormSJLR(QWidget* parent) : DeskDialog(parent), ui(new Ui::TFormSJLR) {
    setupUi(ui);
    setFixedSize(920, 594);

    QFont panelFont(QStringLiteral("宋体"));
    panelFont.setPixelSize(13);
    ui->Panel1->setFont(panelFont);
    ui->Button3->setFont(QApplication::font());
    ui->BitBtn1->setFont(QApplication::font());
    // The instructions' twenty lines fit their box in a smaller size.
    QFont memoFont = panelFont;
    memoFont.setPixelSize(11);
    ui->Memo1->setFont(memoFont);
    ui->Memo1->document()->setDocumentMargin(2);

    QTableWidget* grid = ui->Grid;
    grid->setColumnCount(2 * SideColumns);
    grid->setRowCount(SideRows);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(25);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setTabKeyNavigation(false);
    grid->setTextElideMode(Qt::ElideNone);
    grid->setWordWrap(false);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QHeaderView* header = grid->horizontalHeader();
    QFont bold = grid->font();
    bold.setBold(true);
    header->setFont(bold);
    header->setDefaultAlignment(Qt::AlignCenter);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setFixedHeight(25);
    header->setHighlightSections(false);
    header->setTextElideMode(Qt::ElideNone);
    for (int row = 0; row < SideRows; ++row) {
        for (int column = 0; column < 2 * SideColumns; ++column) {
            auto* item = new QTableWidgetItem;
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            grid->setItem(row, column, item);
        }
    }

    setUpColumns();
    ui->Edit3->installEventFilter(this);
    ui->Grid->installEventFilter(this);

    connectHandler(ui->Edit39, &QLineEdit::textChanged, this, &TFormSJLR::Edit39Change);
    connectHandler(ui->Edit40, &QLineEdit::returnPressed, this, &TFormSJLR::Edit40KeyPress);
    connectHandler(ui->BitBtn1, &QPushButton::clicked, this, &TFormSJLR::BitBtn1Click);
    connectHandler(ui->Button1, &QPushButton::clicked, this, &TFormSJLR::Button1Click);
    connectHandler(ui->Button2, &QPushButton::clicked, this, &TFormSJLR::Button2Click);
    connectHandler(ui->SpinEdit1, &QSpinBox::valueChanged, this, &TFormSJLR::SpinEdit1Change);
    connect(grid, &QTableWidget::currentCellChanged, this,
            [this](int row, int column) { ErrorBoundary::run([&] { GridSelectCell(column, row + 1); }); });
    // A click on the current cell opens the editor again after it closed.
    connect(grid, &QTableWidget::cellClicked, this,
            [this](int row, int column) { ErrorBoundary::run([&] { GridSelectCell(column, row + 1); }); });
    connectHandler(ui->Edit3, &QLineEdit::returnPressed, this, &TFormSJLR::Edit3KeyPress);
    connectHandler(ui->Button5, &QPushButton::clicked, this, &TFormSJLR::Button5Click);
    connectHandler(ui->Button6, &QPushButton::clicked, this, &TFormSJLR::Button6Click);
    connectHandler(ui->CheckBox1, &QCheckBox::clicked, this, &TFormSJLR::CheckBox1Click);
    connectHandler(ui->CheckBox2, &QCheckBox::clicked, this, &TFormSJLR::CheckBox2Click);
    connectHandler(ui->Button3, &QPushButton::clicked, this, &TFormSJLR::Button3Click);
    connectHandler(ui->ChClose, &QPushButton::clicked, this, &TFormSJLR::ChCloseClick);
    connectHandler(ui->Button7, &QPushButton::clicked, this, &TFormSJLR::Button7Click);
}

TFormSJLR::~TFormSJLR() {
    delete ui;
}

// ----------------------------------------------------------------- the grid

QString TFormSJLR::Cells(int column, int row) const {
    return ui->Grid->item(row - 1, column)->text();
}

void TFormSJLR::setCells(int column, int row, const QString& text) {
    ui->Grid->item(row - 1, column)->setText(text);
}

int TFormSJLR::pageCount() const {
    return schoolLoaded() ? ADOQuery1.pageCount() : 0;
}

void TFormSJLR::setUpColumns() {
    for (int side = 0; side < 2; ++side) {
        for (int column = 0; column < SideColumns; ++column) {
            const int c = side * SideColumns + column;
            ui->Grid->setColumnWidth(c, columnWidths[column]);
            ui->Grid->setHorizontalHeaderItem(c, new QTableWidgetItem(QString::fromUtf16(columnHeaders[column])));
        }
    }
}

void TFormSJLR::FormShow() {
    QTableWidget* grid = ui->Grid;
    // An editor left open over a cell (the window closed by its title bar)
    // goes with the grid's contents.
    if (editorOverGrid_) {
        ui->Edit3->hide();
        ui->Edit3->clear();
        editorOverGrid_ = false;
    }
    pageSaveCopied_ = false;
    setUpColumns();
    for (int row = 1; row <= SideRows; ++row) {
        for (int column = 0; column < 2 * SideColumns; ++column)
            setCells(column, row, QString());
    }
    grid->setCurrentCell(0, 1);
    grid->setFocus();
    const QSignalBlocker block(ui->SpinEdit1);
    ui->SpinEdit1->setRange(0, 0);
}

void TFormSJLR::ShowPage(int page) {
    if (!schoolLoaded())
        return;
    page = qBound(1, page, pageCount());
    ADOQuery1.setAbsolutePage(page);
    CurrentPage = page;
    for (int position = 1; position <= PageSize; ++position) {
        const Place place = placeOf(position);
        const bool past = ADOQuery1.eof();
        for (int column = 0; column < SideColumns; ++column)
            setCells(place.side + column, place.row,
                     past ? QString() : ADOQuery1.text(QString::fromUtf16(columnFields[column])));
        if (!past)
            ADOQuery1.next();
    }
}

void TFormSJLR::setPageBox(int page) {
    const QSignalBlocker block(ui->SpinEdit1);
    const int pages = pageCount();
    ui->SpinEdit1->setRange(pages > 0 ? 1 : 0, pages);
    ui->SpinEdit1->setValue(page);
}

// ------------------------------------------------------------- the school

QString TFormSJLR::typedUnit() const {
    return Text::trimmed(ui->Edit39->text()) + Text::trimmed(ui->Edit40->text());
}

Query TFormSJLR::schoolQuery(const QString& unit) const {
    return CreditEntry::schoolStudents(StationFolder::creditDb(), unit, PageSize);
}

void TFormSJLR::takeSchool(Query students, const QString& unit, int page) {
    ADOQuery1 = std::move(students);
    loadedUnit_ = unit;
    ui->Label1->setText(QStringLiteral("共：%1页，当前页为：").arg(pageCount()));
    if (schoolLoaded()) {
        ShowPage(page);
    } else {
        // The school's students are gone since it was loaded.
        CurrentPage = 0;
        for (int row = 1; row <= SideRows; ++row) {
            for (int column = 0; column < 2 * SideColumns; ++column)
                setCells(column, row, QString());
        }
    }
    setPageBox(CurrentPage);
    ui->Grid->setFocus();
    ui->Grid->viewport()->update();
}

bool TFormSJLR::LoadSchool() {
    const QString unit = typedUnit();
    Query students = schoolQuery(unit);
    // A school without students leaves the one shown before loaded.
    if (students.isEmpty()) {
        Dialogs::current().message(noStudents);
        return false;
    }
    takeSchool(std::move(students), unit, 1);
    return true;
}

void TFormSJLR::Edit39Change() {
    if (Gb18030::byteLength(ui->Edit39->text()) == 4)
        ui->Edit40->setFocus();
}

void TFormSJLR::Edit40KeyPress() {
    LoadSchool();
}

void TFormSJLR::BitBtn1Click() {
    LoadSchool();
}

// ----------------------------------------------------------------- paging

void TFormSJLR::Button1Click() {
    if (!schoolLoaded())
        return;
    if (CurrentPage == 1)
        Dialogs::current().message(QStringLiteral("已经是首页了！"));
    else
        ShowPage(CurrentPage - 1);
    setPageBox(CurrentPage);
}

void TFormSJLR::Button2Click() {
    if (!schoolLoaded())
        return;
    if (CurrentPage == pageCount())
        Dialogs::current().message(QStringLiteral("已经是最后一页了！"));
    else
        ShowPage(CurrentPage + 1);
    setPageBox(CurrentPage);
}

void TFormSJLR::SpinEdit1Change(int value) {
    if (!schoolLoaded())
        return;
    const int page = qBound(1, value, pageCount());
    if (page != value)
        setPageBox(page);
    ShowPage(page);
}

// ----------------------------------------------------------------- saving

bool TFormSJLR::savePage() {
    const QString database = StationFolder::creditDb();
    QVector<CreditEntry::PageStudent> students;
    students.reserve(PageSize);
    for (int position = 1; position <= PageSize; ++position) {
        const Place place = placeOf(position);
        students.append({Cells(place.side + subColumn, place.row), Cells(place.side + nameColumn, place.row),
                         Cells(place.side + requiredColumn, place.row), Cells(place.side + electiveColumn, place.row),
                         Cells(place.side + totalColumn, place.row)});
    }
    // One safety copy per showing of the window, before its first save.
    if (!pageSaveCopied_) {
        SafetyCopy::before(database, SafetyCopy::Before::batchEntry);
        pageSaveCopied_ = true;
    }
    const QString stop = CreditEntry::savePage(database, students);
    if (!stop.isEmpty()) {
        Dialogs::current().message(stop);
        return false;
    }
    return true;
}

void TFormSJLR::Button5Click() {
    if (!schoolLoaded())
        return;
    if (!savePage())
        return;
    Dialogs::current().message(QStringLiteral("数据保存成功！"));
    const int next = CurrentPage < pageCount() ? CurrentPage + 1 : 1;
    takeSchool(schoolQuery(loadedUnit_), loadedUnit_, next);
}

void TFormSJLR::Button6Click() {
    for (int row = 1; row <= SideRows; ++row) {
        for (int side = 0; side < 2 * SideColumns; side += SideColumns) {
            setCells(side + requiredColumn, row, QString());
            setCells(side + electiveColumn, row, QString());
            setCells(side + totalColumn, row, QString());
        }
    }
}

// ------------------------------------------------- credits for the school

void TFormSJLR::CheckBox1Click() {
    SetAllCredits(ui->CheckBox1, ui->CheckBox2);
}

void TFormSJLR::CheckBox2Click() {
    SetAllCredits(ui->CheckBox2, ui->CheckBox1);
}

// Both boxes stand for one setting: ticking one ticks the other, and that
// tick counts as a click on it, so a first tick writes the credits twice
// (the other box's run first) and says so twice; unticking writes nothing.
void TFormSJLR::SetAllCredits(QCheckBox* clicked, QCheckBox* other) {
    // One safety copy per click, though a click may write twice.
    ++settingAll_;
    const auto outermost = qScopeGuard([this] {
        if (--settingAll_ == 0)
            wholeSchoolCopied_ = false;
    });
    const QString county = Text::trimmed(ui->Edit39->text());
    const QString school = Text::trimmed(ui->Edit40->text());
    if (county.isEmpty()) {
        Dialogs::current().message(QStringLiteral("请输入县区代码！"));
        return;
    }
    if (school.isEmpty()) {
        Dialogs::current().message(QStringLiteral("请输入学校代码！"));
        return;
    }
    if (ui->Edit1->text().isEmpty()) {
        clicked->setChecked(false);
        Dialogs::current().message(QStringLiteral("请输入必修学分！"));
        return;
    }
    if (ui->Edit2->text().isEmpty()) {
        clicked->setChecked(false);
        Dialogs::current().message(QStringLiteral("请输入选修学分！"));
        return;
    }

    if (!clicked->isChecked()) {
        if (other->isChecked()) {
            other->setChecked(false);
            SetAllCredits(other, clicked);
        }
        return;
    }
    if (!other->isChecked()) {
        other->setChecked(true);
        SetAllCredits(other, clicked);
        if (!clicked->isChecked())
            return; // the other box's run found no student
    }

    const QString required = Text::trimmed(ui->Edit1->text());
    const QString elective = Text::trimmed(ui->Edit2->text());
    const QString unit = county + school;
    const QString database = StationFolder::creditDb();
    int changed = 0;
    try {
        if (!wholeSchoolCopied_) {
            SafetyCopy::before(database, SafetyCopy::Before::wholeSchool);
            wholeSchoolCopied_ = true;
        }
        changed = CreditEntry::setSchoolCredits(database, unit, required, elective);
    } catch (...) {
        // The ticks say the school's credits are set: not when the write
        // failed (a credit the column cannot take, a full disk).
        clicked->setChecked(false);
        other->setChecked(false);
        throw;
    }
    if (changed == 0) {
        // Nothing was set: a mistyped code must not read as done.
        clicked->setChecked(false);
        other->setChecked(false);
        Dialogs::current().message(noStudents);
        return;
    }
    Dialogs::current().message(QStringLiteral("学校代码为：%1的全体学生必修选修学分已全部设置为：%2和%3")
                                   .arg(unit, required, elective));
    takeSchool(schoolQuery(unit), unit, 1);
}

// ------------------------------------------------------------ the rest

void TFormSJLR::Button3Click() {
    ui->Panel2->show();
    ui->Panel2->raise();
}

void TFormSJLR::ChCloseClick() {
    ui->Panel2->hide();
}

void TFormSJLR::Button7Click() {
    close();
}
