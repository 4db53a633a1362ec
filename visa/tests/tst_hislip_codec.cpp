#include "hislip_codec.h"

#include <QtTest>

// The wire codecs shared with the VISA library.
using namespace velq;

namespace {

QByteArray Encode(const hislip_header &hdr)
{
    uint8_t raw[kHislipHeaderSize];
    hislip_encode_header(hdr, raw);
    return QByteArray(reinterpret_cast<const char *>(raw), kHislipHeaderSize);
}

hislip_header Header(uint8_t uType, uint8_t uControl, uint32_t uParam, uint64_t uLength)
{
    hislip_header hdr;
    hdr.type = uType;
    hdr.control = uControl;
    hdr.param = uParam;
    hdr.length = uLength;
    return hdr;
}

} // namespace

class CHislipCodecTest : public QObject
{
    Q_OBJECT

private slots:
    void Golden_data();
    void Golden();
    void DecodeRejectsBadPrologue_data();
    void DecodeRejectsBadPrologue();
    void U64RoundTrip_data();
    void U64RoundTrip();
    void MessageIdsWrap();
    void TypeClassification_data();
    void TypeClassification();
};

void CHislipCodecTest::Golden_data()
{
    QTest::addColumn<uint>("uType");
    QTest::addColumn<uint>("uControl");
    QTest::addColumn<uint>("uParam");
    QTest::addColumn<qulonglong>("uLength");
    QTest::addColumn<QByteArray>("baWire");

    QTest::newRow("initialize-xx-hislip0")
        << uint(HISLIP_INITIALIZE) << 0u << hislip_init_param(kHislipProtocolVersion, hislip_vendor_id("xx"))
        << qulonglong(7) << QByteArray::fromHex("48530000010078780000000000000007");
    QTest::newRow("initialize-response-sync-session-100")
        << uint(HISLIP_INITIALIZE_RESPONSE) << 0u << hislip_init_param(kHislipProtocolVersion, 0x64)
        << qulonglong(0) << QByteArray::fromHex("48530100010000640000000000000000");
    QTest::newRow("data-end-first-id-rmt")
        << uint(HISLIP_DATA_END) << uint(kHislipRmtDelivered) << uint(kHislipFirstMessageId)
        << qulonglong(6) << QByteArray::fromHex("48530701ffffff000000000000000006");
    QTest::newRow("payload-length-uses-all-64-bits")
        << uint(HISLIP_DATA) << 0u << 0x01020304u << qulonglong(0x1122334455667788ULL)
        << QByteArray::fromHex("4853060001020304" "1122334455667788");
    QTest::newRow("lock-request-timeout")
        << uint(HISLIP_ASYNC_LOCK) << uint(HISLIP_LOCK_REQUEST) << 2500u << qulonglong(0)
        << QByteArray::fromHex("48530401000009c40000000000000000");
    QTest::newRow("vendor-specific-all-ones")
        << 0xFFu << 0xFFu << 0xFFFFFFFFu << qulonglong(~0ULL)
        << QByteArray::fromHex("4853ffffffffffffffffffffffffffff");
}

void CHislipCodecTest::Golden()
{
    QFETCH(uint, uType);
    QFETCH(uint, uControl);
    QFETCH(uint, uParam);
    QFETCH(qulonglong, uLength);
    QFETCH(QByteArray, baWire);

    const hislip_header hdr = Header(uint8_t(uType), uint8_t(uControl), uParam, uLength);
    QCOMPARE(Encode(hdr).toHex(), baWire.toHex());

    hislip_header decoded;
    QCOMPARE(hislip_decode_header(reinterpret_cast<const uint8_t *>(baWire.constData()), &decoded),
             HISLIP_DECODE_OK);
    QCOMPARE(uint(decoded.type), uType);
    QCOMPARE(uint(decoded.control), uControl);
    QCOMPARE(uint(decoded.param), uParam);
    QCOMPARE(qulonglong(decoded.length), uLength);
}

void CHislipCodecTest::DecodeRejectsBadPrologue_data()
{
    QTest::addColumn<QByteArray>("baWire");
    QTest::newRow("lower-case") << QByteArray::fromHex("68730000000000000000000000000000");
    QTest::newRow("swapped") << QByteArray::fromHex("53480000000000000000000000000000");
    QTest::newRow("only-first-right") << QByteArray::fromHex("48000000000000000000000000000000");
}

void CHislipCodecTest::DecodeRejectsBadPrologue()
{
    QFETCH(QByteArray, baWire);
    hislip_header hdr;
    QCOMPARE(hislip_decode_header(reinterpret_cast<const uint8_t *>(baWire.constData()), &hdr),
             HISLIP_DECODE_BAD_PROLOGUE);
}

void CHislipCodecTest::U64RoundTrip_data()
{
    QTest::addColumn<qulonglong>("uValue");
    QTest::addColumn<QByteArray>("baWire");
    QTest::newRow("one-mebibyte") << qulonglong(1 << 20) << QByteArray::fromHex("0000000000100000");
    QTest::newRow("high-byte") << qulonglong(0x8000000000000001ULL) << QByteArray::fromHex("8000000000000001");
}

void CHislipCodecTest::U64RoundTrip()
{
    QFETCH(qulonglong, uValue);
    QFETCH(QByteArray, baWire);
    uint8_t raw[8];
    hislip_put_u64(uValue, raw);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(raw), 8).toHex(), baWire.toHex());
    QCOMPARE(qulonglong(hislip_get_u64(raw)), uValue);
}

void CHislipCodecTest::MessageIdsWrap()
{
    uint32_t uId = kHislipFirstMessageId;
    for (int i = 0; i < 127; ++i)
        uId = hislip_next_message_id(uId);
    QCOMPARE(uId, 0xFFFFFFFEu);
    QCOMPARE(hislip_next_message_id(uId), 0u);
    QCOMPARE(hislip_next_message_id(kHislipNoMessageId), kHislipFirstMessageId);
}

void CHislipCodecTest::TypeClassification_data()
{
    QTest::addColumn<uint>("uType");
    QTest::addColumn<bool>("bKnown");
    QTest::addColumn<bool>("bAsync");
    QTest::newRow("data") << uint(HISLIP_DATA) << true << false;
    QTest::newRow("device-clear-ack-is-sync") << uint(HISLIP_DEVICE_CLEAR_ACKNOWLEDGE) << true << false;
    QTest::newRow("async-status-query") << uint(HISLIP_ASYNC_STATUS_QUERY) << true << true;
    QTest::newRow("fatal-error-either") << uint(HISLIP_FATAL_ERROR) << true << false;
    QTest::newRow("v2-get-descriptors") << 26u << false << false;
    QTest::newRow("vendor") << 200u << false << false;
}

void CHislipCodecTest::TypeClassification()
{
    QFETCH(uint, uType);
    QFETCH(bool, bKnown);
    QFETCH(bool, bAsync);
    QCOMPARE(hislip_is_known_type(uint8_t(uType)), bKnown);
    QCOMPARE(hislip_is_async_type(uint8_t(uType)), bAsync);
}

QTEST_GUILESS_MAIN(CHislipCodecTest)
#include "tst_hislip_codec.moc"

