#include "DbGrid.h"
#include "ErrorBoundary.h"

#include <QHBoxLayout>
#include <QHeaderView>

// ---------------------------------------------------------------- DbGrid

DbGrid::DbGrid(QWidget* parent) : QTableView(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setFixedWidth(22);
    horizontalHeader()->setHighlightSections(false);
}

void DbGrid::setDataSource(DataSource* source) {
    source_ = source;
    setModel(source);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
        if (syncing_ || !current.isValid() || !source_ || source_->isReshaping())
            return;
        syncing_ = true;
        ErrorBoundary::run([&] { source_->setCurrentRow(current.row()); });
        syncing_ = false;
        if (source_->currentRow() != current.row())
            followSource(source_->currentRow());
    });
    connect(source, &DataSource::currentRowChanged, this, &DbGrid::followSource);
    // Rows inserted or removed shift the view's current cell (that is not the
    // user moving to another row); afterwards the view follows the source.
    auto follow = [this] { followSource(source_->currentRow()); };
    connect(source, &QAbstractItemModel::rowsInserted, this, follow);
    connect(source, &QAbstractItemModel::rowsRemoved, this, follow);
    connect(source, &QAbstractItemModel::modelReset, this, [this] { resizeColumnsToContents(); });
    disconnect(outdatedConnection_);
    outdatedConnection_ = connect(source, &DataSource::outdated, this, [this] {
        if (isVisible())
            refreshIfOutdated();
    });
}

void DbGrid::showEvent(QShowEvent* event) {
    QTableView::showEvent(event);
    refreshIfOutdated();
}

// The rows written elsewhere are shown as stored now.
void DbGrid::refreshIfOutdated() {
    if (source_ && source_->isOutdated())
        ErrorBoundary::run([this] { source_->refreshOutdated(); });
}

void DbGrid::followSource(int row) {
    if (syncing_ || !source_ || source_->rowCount() == 0)
        return;
    syncing_ = true;
    const int column = qMax(0, currentIndex().column());
    const QModelIndex target = source_->index(row, column);
    setCurrentIndex(target);
    scrollTo(target);
    syncing_ = false;
}

// ----------------------------------------------------------- DbNavigator

DbNavigator::DbNavigator(QWidget* parent) : QWidget(parent) {
    struct Spec {
        const char16_t* glyph;
        const char16_t* hint;
    };
    static const Spec specs[10] = {
        {u"|◀", u"第一条"}, {u"◀", u"上一条"},  {u"▶", u"下一条"}, {u"▶|", u"最后一条"}, {u"+", u"插入"},
        {u"−", u"删除"},    {u"▲", u"编辑"},    {u"✔", u"保存"},   {u"✘", u"取消"},     {u"↻", u"刷新"},
    };
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int i = 0; i < 10; ++i) {
        auto* b = new QToolButton(this);
        b->setText(QString::fromUtf16(specs[i].glyph));
        b->setToolTip(QString::fromUtf16(specs[i].hint));
        b->setObjectName(QStringLiteral("NavButton%1").arg(i));
        b->setMinimumWidth(28);
        layout->addWidget(b);
        buttons_[i] = b;
        connect(b, &QToolButton::clicked, this, [this, i] { click(Button(i)); });
    }
    layout->addStretch();
    updateButtons();
}

void DbNavigator::setDataSource(DataSource* source) {
    source_ = source;
    connect(source, &DataSource::stateChanged, this, &DbNavigator::updateButtons);
    connect(source, &DataSource::currentRowChanged, this, &DbNavigator::updateButtons);
    connect(source, &QAbstractItemModel::modelReset, this, &DbNavigator::updateButtons);
    connect(source, &QAbstractItemModel::rowsInserted, this, &DbNavigator::updateButtons);
    connect(source, &QAbstractItemModel::rowsRemoved, this, &DbNavigator::updateButtons);
    updateButtons();
}

void DbNavigator::click(Button which) {
    if (!source_)
        return;
    ErrorBoundary::run([&] {
        switch (which) {
        case First: source_->first(); break;
        case Prior: source_->prior(); break;
        case Next: source_->next(); break;
        case Last: source_->last(); break;
        case Insert: source_->insert(); break;
        case Delete: source_->remove(); break;
        case Edit: source_->edit(); break;
        case Post: source_->post(); break;
        case Cancel: source_->cancel(); break;
        case Refresh: source_->refresh(); break;
        }
    });
    updateButtons();
}

void DbNavigator::updateButtons() {
    const bool active = source_ && source_->isActive();
    const int rows = active ? source_->rowCountShown() : 0;
    const int row = active ? source_->currentRow() : 0;
    const bool browsing = active && source_->state() == DataSource::State::Browse;
    const bool editing = active && !browsing;
    buttons_[First]->setEnabled(active && rows > 0 && row > 0);
    buttons_[Prior]->setEnabled(active && rows > 0 && row > 0);
    buttons_[Next]->setEnabled(active && row < rows - 1);
    buttons_[Last]->setEnabled(active && row < rows - 1);
    buttons_[Insert]->setEnabled(active);
    buttons_[Delete]->setEnabled(active && rows > 0);
    buttons_[Edit]->setEnabled(browsing && rows > 0);
    buttons_[Post]->setEnabled(editing);
    buttons_[Cancel]->setEnabled(editing);
    buttons_[Refresh]->setEnabled(active);
}
