#include "BiffCells.h"

#include <algorithm>

namespace BiffWriting {

namespace {

// Lays the shared-string table out in records: the SST record first, then as
// many CONTINUE records as its data needs.
class SstRecords {
public:
    explicit SstRecords(Bytes& stream) : stream_(stream) {}

    Bytes body;

    int room() const { return kMaxRecordData - int(body.size()); }
    // Where the next byte of `body` will stand: in the stream, and from the
    // start of its record (header included), as EXTSST counts them.
    quint32 streamPosition() const { return quint32(stream_.size() + 4 + body.size()); }
    quint16 recordOffset() const { return quint16(4 + body.size()); }

    void startContinue() {
        flush();
        type_ = Continue;
    }
    void flush() {
        stream_.record(type_, body);
        body.clear();
    }

private:
    Bytes& stream_;
    quint16 type_ = Sst;
};

} // namespace

quint32 SharedStrings::indexOf(const QString& text) {
    ++total_;
    const qsizetype known = index_.size();
    quint32& index = index_[text];
    if (index_.size() != known) {
        index = quint32(strings_.size());
        strings_.append(text);
    }
    return index;
}

void SharedStrings::write(Bytes& stream) const {
    // EXTSST points at the first string of every bucket; at most 128 buckets.
    const int perBucket = std::max(8, int(strings_.size()) / 128 + 1);
    struct Bucket {
        quint32 position;
        quint16 offset;
    };
    QVector<Bucket> buckets;

    SstRecords sst(stream);
    sst.body.u32(total_);
    sst.body.u32(quint32(strings_.size()));
    for (qsizetype i = 0; i < strings_.size(); ++i) {
        const QString& text = strings_.at(i);
        const bool wide = needsWideForm(text);
        const int unit = wide ? 2 : 1;
        // A string's header (length and option byte) is never split, and
        // its first character goes with it.
        if (sst.room() < 3 + (text.isEmpty() ? 0 : unit))
            sst.startContinue();
        if (i % perBucket == 0)
            buckets.append({sst.streamPosition(), sst.recordOffset()});
        sst.body.u16(unsigned(text.size()));
        sst.body.u8(wide ? 1 : 0);
        qsizetype done = 0;
        while (done < text.size()) {
            qsizetype count = std::min<qsizetype>(sst.room() / unit, text.size() - done);
            // A surrogate pair stays in one record.
            if (count > 0 && done + count < text.size() && text.at(done + count - 1).isHighSurrogate())
                --count;
            if (count == 0) {
                // The rest continues in the next record, which repeats the option byte.
                sst.startContinue();
                sst.body.u8(wide ? 1 : 0);
                continue;
            }
            sst.body.chars(QStringView(text).mid(done, count), wide);
            done += count;
        }
    }
    sst.flush();

    Bytes ext;
    ext.u16(unsigned(perBucket));
    for (const Bucket& bucket : buckets) {
        ext.u32(bucket.position);
        ext.u16(bucket.offset);
        ext.u16(0);
    }
    stream.record(ExtSst, ext);
}

} // namespace BiffWriting
