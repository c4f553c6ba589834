#pragma once

#include "DeskDialog.h"
#include "IdCardReader.h"
#include "Query.h"

#include <QVector>
#include <functional>
#include <memory>

namespace Ui {
class TFormSJLR;
}
class DataSource;
class QLineEdit;
class QTimer;

// The entry window: students are registered one by one (page "报名 数据录入")
// and sequence numbers are reserved per class (page "学业水平测试顺序号设置").
class TFormSJLR : public DeskDialog {
    Q_OBJECT
public:
    explicit TFormSJLR(QWidget* parent = nullptr);
    ~TFormSJLR() override;

    void FormShow() override;

    // Entry page
    void Button1Click();    // 保存
    void Button2Click();    // 退出
    void Button3Click();    // 重填
    void Button4Click();    // the unit's highest sequence number plus one
    void ComboBox1Change(); // the user chose a gender
    void ComboBox3Change(); // a status becomes the remark
    void ComboBox4Change(); // the user chose a class: its first free number

    // Sequence number page
    void Button5Click();    // reserve a range for the class
    void ComboBox2Change(); // list the class's reserved numbers

    // ID card reading
    void Button8Click(); // 读二代身份证: read the card once and save the student
    void Button9Click(); // 自动读二代身份证: automatic reading on or off
    void Timer1Timer();  // every second from program start to end

    // The card reader, opened by the station at start-up.
    void setReader(std::unique_ptr<IdCardReader> reader);
    IdCardReader* reader() const { return reader_.get(); }
    // The port passed to every reader call: 0 at start, set from setup.ini
    // each time the window is shown.
    int readerPort() const { return readerPort_; }
    bool autoReading() const { return autoRead_; }
    // Blocks the window for the given milliseconds (after some reader
    // answers); tests put their own in.
    void setPause(std::function<void(int)> pause) { pause_ = std::move(pause); }

    QTimer* Timer1;

    Query ADOQuery1;   // the INSERT of a save, then the class's list for the next number
    Query ADOQuery2;   // the class's list when a class is chosen
    Query ADOQuerySXH; // highest number of the unit; is a number used
    Query ADOQuery3;   // native-place lookup
    Query ADOQuery4;   // the student list (grid of the entry page)
    Query ADOQuery5;   // the reserved list (grid of the sequence number page)
    DataSource* DataSource1;
    DataSource* DataSource2;

    // The eighteen ID boxes and the twelve phone boxes, left to right.
    const QVector<QLineEdit*>& idBoxes() const { return idBoxes_; }
    const QVector<QLineEdit*>& phoneBoxes() const { return phoneBoxes_; }

private:
    void connectFocusRules();
    // Reads the reader port from setup.ini when the window is shown.
    void readReaderPort();
    void fillFromCard(const CardText& card);
    void clearPersonalFields();
    QString joinedTrimmed(const QVector<QLineEdit*>& boxes) const;

    Ui::TFormSJLR* ui;
    QVector<QLineEdit*> idBoxes_;
    QVector<QLineEdit*> phoneBoxes_;
    bool autoRead_ = false; // automatic card reading switch
    std::unique_ptr<IdCardReader> reader_;
    int readerPort_ = 0;
    bool tickRunning_ = false; // a tick (and any box it raised) is still open
    std::function<void(int)> pause_;
};
