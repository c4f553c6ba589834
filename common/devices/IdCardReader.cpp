#include "IdCardReader.h"
#include "Profile.h"
#include "Text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The card text layout: 1-based first character and length of each field.
struct Field {
    int first;
    int length;
};
constexpr Field NameField{1, 15};
constexpr Field GenderField{16, 1};
constexpr Field NationField{17, 2};
constexpr Field BirthField{19, 8};
constexpr Field AddressField{27, 35};
constexpr Field IdField{62, 18};
constexpr Field DivisionField{62, 6};
constexpr int TextCharacters = IdCardReader::TextBufferSize / 2;

const QString CardSuffix = QStringLiteral(".card");

QString replaceUnpairedSurrogates(const QString& text) {
    QString out = text;
    for (qsizetype i = 0; i < out.size(); ++i) {
        const QChar c = out.at(i);
        if (c.isHighSurrogate() && i + 1 < out.size() && out.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            out[i] = QChar::ReplacementCharacter;
    }
    return out;
}

// `text` cut or blank-padded to exactly `width` UTF-16 units; a surrogate
// pair that would be split at the cut is left out whole.
QString fitted(const QString& text, int width) {
    QString out = text.left(width);
    if (text.size() > width && !out.isEmpty() && out.back().isHighSurrogate())
        out.chop(1);
    return out.leftJustified(width, QLatin1Char(' '));
}

// A vendor's reader library, loaded at run time. It stays loaded for the
// reader's lifetime.
class LibraryCardReader : public IdCardReader {
public:
    using FindFunction = int (*)(int port, unsigned char* buf, int ifOpen);
    using ReadFunction = int (*)(int port, unsigned char* text, unsigned int* textLen, unsigned char* photo,
                                 unsigned int* photoLen, int ifOpen);

    LibraryCardReader(void* handle, FindFunction find, FindFunction select, ReadFunction read)
        : handle_(handle), find_(find), select_(select), read_(read) {}
    ~LibraryCardReader() override { dlclose(handle_); }

    int SDT_StartFindIDCard(int port, unsigned char* work, int ifOpen) override {
        return find_(port, work, ifOpen);
    }
    int SDT_SelectIDCard(int port, unsigned char* work, int ifOpen) override {
        return select_(port, work, ifOpen);
    }

    int SDT_ReadBaseMsg(int port, unsigned char* text, unsigned int* textLength, unsigned char* photo,
                        unsigned int* photoLength, int ifOpen) override {
        if (textLength)
            *textLength = 0;
        if (photoLength)
            *photoLength = 0;
        if (!text || !textLength)
            return ReadFailed;
        // The library writes into generous buffers of our own, and the
        // caller's buffers receive at most their documented sizes: a library
        // that writes or reports more than it should cannot overrun them.
        textScratch_.fill(0);
        photoScratch_.fill(0);
        unsigned int textBytes = 0;
        unsigned int photoBytes = 0;
        const int result =
            read_(port, textScratch_.data(), &textBytes, photoScratch_.data(), &photoBytes, ifOpen);
        if (result != Success)
            return result;
        textBytes = std::min<unsigned int>(textBytes, TextBufferSize);
        photoBytes = std::min<unsigned int>(photoBytes, PhotoBufferSize);
        std::memcpy(text, textScratch_.data(), TextBufferSize);
        *textLength = textBytes;
        if (photo) {
            std::memcpy(photo, photoScratch_.data(), PhotoBufferSize);
            if (photoLength)
                *photoLength = photoBytes;
        }
        return result;
    }

private:
    void* handle_;
    FindFunction find_;
    FindFunction select_;
    ReadFunction read_;
    std::array<unsigned char, 4096> textScratch_{};
    std::array<unsigned char, 8192> photoScratch_{};
};

// A reader whose library was refused: it finds no card and says why.
class RefusedCardReader : public IdCardReader {
public:
    explicit RefusedCardReader(QString problem) : problem_(std::move(problem)) {}

    int SDT_StartFindIDCard(int, unsigned char*, int) override { return NoCard; }
    int SDT_SelectIDCard(int, unsigned char*, int) override { return SelectFailed; }
    int SDT_ReadBaseMsg(int, unsigned char*, unsigned int* textLength, unsigned char*, unsigned int* photoLength,
                        int) override {
        if (textLength)
            *textLength = 0;
        if (photoLength)
            *photoLength = 0;
        return ReadFailed;
    }
    QString problem() const override { return problem_; }

private:
    QString problem_;
};

QString shown(const QString& path) { return QDir::toNativeSeparators(path); }

QString refusedText(const QString& path, const QString& reason) {
    return QStringLiteral("读卡器库 %1 不安全，没有加载：%2。读卡器库和它的各级文件夹只能属于 root 或当前用户，"
                          "且不能允许其他用户写入。")
        .arg(shown(path), reason);
}

// Why the loader refused the library, in Chinese (its own text is English).
QString loadProblem() {
    const char* error = dlerror();
    const QString text = error ? QString::fromLocal8Bit(error) : QString();
    static const QRegularExpression missing(QStringLiteral("([^\\s:]+): cannot open shared object file"));
    static const QRegularExpression undefinedSymbol(QStringLiteral("undefined symbol: (\\S+)"));
    QRegularExpressionMatch m;
    if (text.contains(QLatin1String("wrong ELF class")))
        return QStringLiteral("库的位数（32 位或 64 位）与本程序不符");
    if ((m = missing.match(text)).hasMatch())
        return QStringLiteral("找不到它所依赖的库 %1").arg(m.captured(1));
    if ((m = undefinedSymbol.match(text)).hasMatch())
        return QStringLiteral("它所依赖的函数 %1 不存在").arg(m.captured(1));
    if (text.contains(QString::fromLocal8Bit(std::strerror(EACCES))))
        return QStringLiteral("没有读取它的权限");
    if (text.contains(QLatin1String("invalid ELF header")) || text.contains(QLatin1String("file too short")))
        return QStringLiteral("文件不是 Linux 的程序库");
    return QStringLiteral("系统无法加载它");
}

void* symbol(void* handle, const char* name, QString* reason) {
    dlerror(); // clear a stale error
    void* address = dlsym(handle, name);
    if (!address)
        *reason = QStringLiteral("库中没有函数 %1").arg(QLatin1String(name));
    return address;
}

std::unique_ptr<IdCardReader> loadLibrary(const QString& path, QString* reason) {
    if (!QFileInfo::exists(path)) {
        *reason = QStringLiteral("文件不存在");
        return nullptr;
    }
    void* handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        *reason = QStringLiteral("不是可加载的库（%1）").arg(loadProblem());
        return nullptr;
    }
    void* find = symbol(handle, "SDT_StartFindIDCard", reason);
    void* select = find ? symbol(handle, "SDT_SelectIDCard", reason) : nullptr;
    void* read = select ? symbol(handle, "SDT_ReadBaseMsg", reason) : nullptr;
    if (!read) {
        dlclose(handle);
        return nullptr;
    }
    return std::make_unique<LibraryCardReader>(handle,
                                               reinterpret_cast<LibraryCardReader::FindFunction>(find),
                                               reinterpret_cast<LibraryCardReader::FindFunction>(select),
                                               reinterpret_cast<LibraryCardReader::ReadFunction>(read));
}

} // namespace

QString IdCardReader::libraryPath(const QString& setupIni) {
    const QString library =
        Profile(setupIni).readString(QStringLiteral("READER"), QStringLiteral("LIBRARY"), QString());
    if (library.isEmpty())
        return QString();
    return QDir::cleanPath(QFileInfo(setupIni).absoluteDir().absoluteFilePath(library));
}

QString IdCardReader::untrustedReason(const QString& path) {
    // The file the name leads to, and every folder above it: what is loaded
    // is this very path, so links on the way cannot be changed afterwards.
    const QString real = QFileInfo(path).canonicalFilePath();
    if (real.isEmpty())
        return QStringLiteral("文件“%1”不存在").arg(shown(path));
    const uid_t me = ::geteuid();
    bool isFile = true;
    for (QString current = real;; current = QFileInfo(current).absolutePath(), isFile = false) {
        const QString what = (isFile ? QStringLiteral("文件“%1”") : QStringLiteral("文件夹“%1”")).arg(shown(current));
        struct stat st;
        if (::stat(QFile::encodeName(current).constData(), &st) != 0)
            return QStringLiteral("无法查看%1").arg(what);
        if (isFile && !S_ISREG(st.st_mode))
            return QStringLiteral("%1不是普通文件").arg(what);
        if (st.st_uid != 0 && st.st_uid != me)
            return QStringLiteral("%1属于其他用户（用户号 %2）").arg(what).arg(st.st_uid);
        // A folder with the sticky bit (/tmp) lets others add entries but not
        // rename or remove ours, and the entry below it was checked to be ours.
        const bool sticky = !isFile && (st.st_mode & S_ISVTX);
        if ((st.st_mode & S_IWOTH) && !sticky)
            return QStringLiteral("%1允许所有用户写入").arg(what);
        if ((st.st_mode & S_IWGRP) && !sticky)
            return QStringLiteral("%1允许同组用户写入").arg(what);
        if (current == QLatin1String("/"))
            return QString();
    }
}

QString IdCardReader::libraryProblem(const QString& setupIni) {
    const QString path = libraryPath(setupIni);
    if (path.isEmpty())
        return QString();
    const QString real = QFileInfo(path).canonicalFilePath();
    if (real.isEmpty())
        return QStringLiteral("读卡器库 %1 不存在。").arg(shown(path));
    const QString reason = untrustedReason(real);
    return reason.isEmpty() ? QString() : refusedText(path, reason);
}

std::unique_ptr<IdCardReader> IdCardReader::open(const QString& setupIni, const QString& cardFolder,
                                                 QString* warning) {
    if (warning)
        warning->clear();
    const QString path = libraryPath(setupIni);
    if (path.isEmpty())
        return std::make_unique<SimulatedCardReader>(cardFolder);

    // What is checked is what is loaded: the file the name leads to.
    const QString real = QFileInfo(path).canonicalFilePath();
    if (!real.isEmpty()) {
        const QString untrusted = untrustedReason(real);
        if (!untrusted.isEmpty()) {
            const QString problem = refusedText(path, untrusted);
            if (warning)
                *warning = problem;
            return std::make_unique<RefusedCardReader>(problem);
        }
    }
    QString reason;
    if (auto reader = loadLibrary(real.isEmpty() ? path : real, &reason))
        return reader;
    if (warning)
        *warning = QStringLiteral("无法使用读卡器库 %1：%2。\n本次运行改用模拟读卡器（卡片文件放在 %3）。")
                       .arg(QDir::toNativeSeparators(path), reason, QDir::toNativeSeparators(cardFolder));
    return std::make_unique<SimulatedCardReader>(cardFolder);
}

SimulatedCardReader::SimulatedCardReader(QString cardFolder) : folder_(std::move(cardFolder)) {}

QString SimulatedCardReader::nextCard() const {
    // Only finished cards: makecard writes under a temporary name and renames.
    const QDir dir(folder_);
    QStringList names;
    for (const QFileInfo& info : dir.entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::NoSort)) {
        const QString name = info.fileName();
        if (info.isFile() && !name.startsWith(QLatin1Char('.')) && name.endsWith(CardSuffix))
            names.append(name);
    }
    if (names.isEmpty())
        return QString();
    return dir.filePath(*std::min_element(names.cbegin(), names.cend()));
}

int SimulatedCardReader::SDT_StartFindIDCard(int, unsigned char*, int) {
    return nextCard().isEmpty() ? NoCard : CardFound;
}

int SimulatedCardReader::SDT_SelectIDCard(int, unsigned char*, int) {
    return nextCard().isEmpty() ? SelectFailed : Success;
}

int SimulatedCardReader::SDT_ReadBaseMsg(int, unsigned char* text, unsigned int* textLength,
                                         unsigned char* photo, unsigned int* photoLength, int) {
    if (textLength)
        *textLength = 0;
    if (photoLength)
        *photoLength = 0;
    if (!text || !textLength)
        return ReadFailed;
    const QString card = nextCard();
    if (card.isEmpty())
        return ReadFailed;

    // Only the two blocks are read, whatever the size of the file.
    QFile file(card);
    if (!file.open(QIODevice::ReadOnly))
        return ReadFailed;
    const QByteArray bytes = file.read(TextBufferSize + PhotoBufferSize);
    if (bytes.isEmpty() && file.error() != QFileDevice::NoError)
        return ReadFailed;
    file.close();

    // Lift the card off the reader. A card that cannot be moved would be read
    // (and its student saved) again on every poll, so that is a failure.
    const QDir dir(folder_);
    if (!dir.mkpath(QStringLiteral("read")))
        return ReadFailed;
    const QString target = dir.filePath(QStringLiteral("read/") + QFileInfo(card).fileName());
    if (std::rename(QFile::encodeName(card).constData(), QFile::encodeName(target).constData()) != 0)
        return ReadFailed;

    const int textBytes = std::min<int>(int(bytes.size()), TextBufferSize) & ~1;
    std::memset(text, 0, TextBufferSize);
    if (textBytes > 0)
        std::memcpy(text, bytes.constData(), size_t(textBytes));
    *textLength = unsigned(textBytes);
    if (photo) {
        const int photoBytes = std::max(0, int(bytes.size()) - TextBufferSize);
        std::memset(photo, 0, PhotoBufferSize);
        if (photoBytes > 0)
            std::memcpy(photo, bytes.constData() + TextBufferSize, size_t(photoBytes));
        if (photoLength)
            *photoLength = unsigned(photoBytes);
    }
    return Success;
}

CardText decodeCardText(const unsigned char* text, unsigned int length) {
    CardText card;
    if (!text)
        return card;
    // Only the characters of the layout are needed.
    const qsizetype units = std::min<qsizetype>(length / 2, TextCharacters);
    QString block(units, Qt::Uninitialized);
    for (qsizetype i = 0; i < units; ++i)
        block[i] = QChar(char16_t(text[2 * i] | (text[2 * i + 1] << 8)));

    // Cut first, then repair: a pair split by a field boundary is unpaired
    // in both fields.
    const auto field = [&block](Field f) {
        return Text::trimmed(replaceUnpairedSurrogates(block.mid(f.first - 1, f.length)));
    };
    card.name = field(NameField);
    card.genderCode = field(GenderField);
    card.address = field(AddressField);
    card.idNumber = field(IdField);
    card.divisionCode = field(DivisionField);
    return card;
}

QString genderFromCode(const QString& code) {
    return code == QLatin1String("1") ? QStringLiteral("男") : QStringLiteral("女");
}

QByteArray makeCardFile(const QString& name, const QString& genderCode, const QString& address,
                        const QString& idNumber, const QByteArray& photo) {
    // Nation code 01 and the birth date from the ID number where it has one,
    // as a real card carries them; the station does not read them.
    const QString birth = idNumber.mid(6, BirthField.length);
    const bool birthValid = birth.size() == BirthField.length &&
                            std::all_of(birth.cbegin(), birth.cend(), [](QChar c) { return c.isDigit(); });

    QString block;
    block += fitted(name, NameField.length);
    block += fitted(genderCode, GenderField.length);
    block += fitted(QStringLiteral("01"), NationField.length);
    block += fitted(birthValid ? birth : QString(), BirthField.length);
    block += fitted(address, AddressField.length);
    block += fitted(idNumber, IdField.length);
    block = block.leftJustified(TextCharacters, QLatin1Char(' '));

    QByteArray bytes;
    bytes.reserve(IdCardReader::TextBufferSize + photo.size());
    for (QChar c : block) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    bytes.append(photo);
    return bytes;
}
