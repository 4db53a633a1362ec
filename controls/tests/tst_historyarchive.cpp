#include "HistoryArchive.h"

#include <QtTest>

#include <algorithm>

// A device that only hands out a few bytes per read and cannot report its
// size, like a pipe: the reader must not rely on one read filling a request.
class CTrickleDevice : public QIODevice
{
public:
    explicit CTrickleDevice(const QByteArray& baData) : m_baData(baData) { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* pData, qint64 nMax) override
    {
        const qint64 nLeft = m_baData.size() - m_nPos;
        if (nLeft <= 0)
            return -1;
        const qint64 n = std::min<qint64>({nMax, nLeft, qint64(3)});
        memcpy(pData, m_baData.constData() + m_nPos, size_t(n));
        m_nPos += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_baData;
    qint64 m_nPos = 0;
};

Q_DECLARE_METATYPE(CHistoryArchive::EStatus)

class TestHistoryArchive : public QObject
{
    Q_OBJECT

private slots:
    void encode_data();
    void encode();
    void decode_data();
    void decode();
    void hostileLengths_data();
    void hostileLengths();
};

static QString Repeat(char ch, int n)
{
    return QString(n, QLatin1Char(ch));
}

void TestHistoryArchive::encode_data()
{
    QTest::addColumn<QString>("str");
    QTest::addColumn<bool>("bWide");
    QTest::addColumn<QByteArray>("baPrefix");
    QTest::addColumn<int>("nTotal");

    QTest::newRow("empty wide") << QString() << true << QByteArray::fromHex("FFFEFF00") << 4;
    QTest::newRow("empty 8-bit") << QString() << false << QByteArray::fromHex("00") << 1;
    QTest::newRow("*IDN? wide") << "*IDN?" << true
                                << QByteArray::fromHex("FFFEFF052A00490044004E003F00") << 14;
    QTest::newRow("*IDN? 8-bit") << "*IDN?" << false << QByteArray::fromHex("052A49444E3F") << 6;
    QTest::newRow("300 wide") << Repeat('x', 300) << true << QByteArray::fromHex("FFFEFFFF2C017800") << 606;
    QTest::newRow("300 8-bit") << Repeat('x', 300) << false << QByteArray::fromHex("FF2C0178") << 303;
    QTest::newRow("254 8-bit") << Repeat('y', 254) << false << QByteArray::fromHex("FE79") << 255;
    QTest::newRow("255 8-bit") << Repeat('y', 255) << false << QByteArray::fromHex("FFFF0079") << 258;
    QTest::newRow("65533 8-bit") << Repeat('z', 65533) << false << QByteArray::fromHex("FFFDFF7A") << 65536;
    QTest::newRow("65534 8-bit") << Repeat('z', 65534) << false
                                 << QByteArray::fromHex("FFFFFFFEFF00007A") << 65541;
    QTest::newRow("65535 wide") << Repeat('z', 65535) << true
                                << QByteArray::fromHex("FFFEFFFFFFFFFFFF00007A00") << 10 + 131070;
}

void TestHistoryArchive::encode()
{
    QFETCH(QString, str);
    QFETCH(bool, bWide);
    QFETCH(QByteArray, baPrefix);
    QFETCH(int, nTotal);

    const QByteArray ba = bWide ? CHistoryArchive::EncodeWide(str) : CHistoryArchive::EncodeNarrow(str.toLatin1());
    QCOMPARE(ba.size(), nTotal);
    QCOMPARE(ba.left(baPrefix.size()).toHex(' '), baPrefix.toHex(' '));

    QByteArray baCopy = ba;
    QBuffer buffer(&baCopy);
    buffer.open(QIODevice::ReadOnly);
    CHistoryArchive archive(&buffer, CHistoryArchive::EMode::Load);
    QString strRead;
    QVERIFY(archive.ReadString(strRead));
    QCOMPARE(strRead, str);
    QVERIFY(buffer.atEnd());
}

void TestHistoryArchive::decode_data()
{
    QTest::addColumn<QByteArray>("baBytes");
    QTest::addColumn<QString>("strExpected");

    QTest::newRow("8-bit widened as Latin-1") << QByteArray::fromHex("03E9FF41") << QStringLiteral("\u00E9\u00FFA");
    QTest::newRow("wide non-Latin") << QByteArray::fromHex("FFFEFF02DE8BE44E") << QStringLiteral("\u8BDE\u4EE4");
    QTest::newRow("wide with 16-bit length")
        << QByteArray::fromHex("FFFEFFFF0001") + QByteArray(512, 'a').replace("aa", QByteArray("a\0", 2))
        << Repeat('a', 256);
    QTest::newRow("8-bit with 64-bit length")
        << QByteArray::fromHex("FF" "FFFF" "FFFFFFFF" "0200000000000000") + "hi" << QStringLiteral("hi");
    QTest::newRow("surrogate pair survives") << QByteArray::fromHex("FFFEFF023DD800DE")
                                             << QString::fromUcs4(U"\U0001F600");
}

void TestHistoryArchive::decode()
{
    QFETCH(QByteArray, baBytes);
    QFETCH(QString, strExpected);

    // Through a seekable buffer and a trickling stream alike.
    for (int nPass = 0; nPass < 2; ++nPass) {
        QByteArray baCopy = baBytes;
        QBuffer buffer(&baCopy);
        buffer.open(QIODevice::ReadOnly);
        CTrickleDevice trickle(baBytes);
        QIODevice* pDevice = nPass == 0 ? static_cast<QIODevice*>(&buffer) : &trickle;
        CHistoryArchive archive(pDevice, CHistoryArchive::EMode::Load);
        QString str;
        QVERIFY2(archive.ReadString(str), nPass == 0 ? "buffer" : "stream");
        QCOMPARE(str, strExpected);
    }
}

void TestHistoryArchive::hostileLengths_data()
{
    QTest::addColumn<QByteArray>("baBytes");
    QTest::addColumn<CHistoryArchive::EStatus>("eStatus");

    QTest::newRow("u32 length past the end")
        << QByteArray::fromHex("FF" "FFFF" "00001000") + "abc" << CHistoryArchive::EStatus::Truncated;
    QTest::newRow("u64 length near 2^63, wide")
        << QByteArray::fromHex("FFFEFF" "FF" "FFFF" "FFFFFFFF" "FFFFFFFFFFFFFF7F") + "ab" << CHistoryArchive::EStatus::Corrupt;
    QTest::newRow("u64 length of all ones")
        << QByteArray::fromHex("FF" "FFFF" "FFFFFFFF" "FFFFFFFFFFFFFFFF") << CHistoryArchive::EStatus::Corrupt;
    QTest::newRow("length bytes cut") << QByteArray::fromHex("FFFEFFFF01") << CHistoryArchive::EStatus::Truncated;
    QTest::newRow("odd byte of a wide char")
        << QByteArray::fromHex("FFFEFF02410042") << CHistoryArchive::EStatus::Truncated;
    QTest::newRow("nothing at all") << QByteArray() << CHistoryArchive::EStatus::Truncated;
}

void TestHistoryArchive::hostileLengths()
{
    QFETCH(QByteArray, baBytes);
    QFETCH(CHistoryArchive::EStatus, eStatus);

    for (int nPass = 0; nPass < 2; ++nPass) {
        QByteArray baCopy = baBytes;
        QBuffer buffer(&baCopy);
        buffer.open(QIODevice::ReadOnly);
        CTrickleDevice trickle(baBytes);
        CHistoryArchive archive(nPass == 0 ? static_cast<QIODevice*>(&buffer) : &trickle,
                                CHistoryArchive::EMode::Load);
        QString str = QStringLiteral("untouched");
        QVERIFY(!archive.ReadString(str));
        QCOMPARE(archive.GetStatus(), eStatus);
        QCOMPARE(str, QStringLiteral("untouched"));
        // Once failed, an archive stays failed instead of reading on from
        // the middle of a broken record.
        QVERIFY(!archive.ReadString(str));
    }
}

QTEST_GUILESS_MAIN(TestHistoryArchive)
#include "tst_historyarchive.moc"
