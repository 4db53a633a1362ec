#include "rpc_message.h"
#include "vxi11_proto.h"

#include <QtTest>

// The wire codecs shared with the VISA library.
using namespace velq;

namespace {

QByteArray Bytes(const xdr_bytes &b)
{
    return QByteArray(reinterpret_cast<const char *>(b.data()), int(b.size()));
}

xdr_bytes Raw(const QByteArray &ba)
{
    return xdr_bytes(ba.begin(), ba.end());
}

QByteArray Hex(const char *psz)
{
    return QByteArray::fromHex(QByteArray(psz).replace(' ', ""));
}

} // namespace

class CVxi11CodecTest : public QObject
{
    Q_OBJECT

private slots:
    void GoldenEncode_data();
    void GoldenEncode();
    void GoldenReplies();
    void Reassembly_data();
    void Reassembly();
    void HostileRecord_data();
    void HostileRecord();
    void HostileReply_data();
    void HostileReply();
    void ServerSideCall();
};

// Wire bytes captured between an independent client and a test server.
void CVxi11CodecTest::GoldenEncode_data()
{
    QTest::addColumn<QByteArray>("baEncoded");
    QTest::addColumn<QByteArray>("baExpected");

    pmap_mapping map;
    map.prog = vxi11_core_prog;
    map.vers = vxi11_core_vers;
    map.prot = pmap_ipproto_tcp;
    rpc_call_header h{1000, pmap_prog, pmap_vers, pmap_getport};
    QTest::newRow("portmap GETPORT record")
        << Bytes(rpc_record_encode(rpc_encode_call(h, pmap_encode_mapping(map))))
        << Hex("80000038 000003e8 00000000 00000002 000186a0 00000002 00000003"
               " 00000000 00000000 00000000 00000000 000607af 00000001 00000006 00000000");

    vxi11_create_link_parms link;
    link.client_id = 0x40001e90;
    link.device = "inst0";
    QTest::newRow("create_link call")
        << Bytes(rpc_encode_call({0x5dc0b177, vxi11_core_prog, 1, vxi11_create_link}, vxi11_encode(link)))
        << Hex("5dc0b177 00000000 00000002 000607af 00000001 0000000a 00000000 00000000"
               " 00000000 00000000 40001e90 00000000 00000000 00000005 696e7374 30000000");

    const QByteArray baIdn("*IDN?");
    vxi11_write_parms wr;
    wr.lid = 1;
    wr.io_timeout = 3000;
    wr.flags = vxi11_flag_waitlock | vxi11_flag_end;
    wr.data = reinterpret_cast<const uint8_t *>(baIdn.constData());
    wr.size = size_t(baIdn.size());
    QTest::newRow("device_write args")
        << Bytes(vxi11_encode(wr))
        << Hex("00000001 00000bb8 00000000 00000009 00000005 2a49444e 3f000000");

    vxi11_read_parms rd;
    rd.lid = 1;
    rd.request_size = 5242880;
    rd.io_timeout = 3000;
    QTest::newRow("device_read args")
        << Bytes(vxi11_encode(rd)) << Hex("00000001 00500000 00000bb8 00000000 00000000 00000000");

    vxi11_generic_parms gen;
    gen.lid = 7;
    gen.flags = 1;
    gen.lock_timeout = 2;
    gen.io_timeout = 3;
    QTest::newRow("generic parms: lock_timeout before io_timeout")
        << Bytes(vxi11_encode(gen)) << Hex("00000007 00000001 00000002 00000003");

    QTest::newRow("create_link reply")
        << Bytes(rpc_encode_reply(0x5dc0b177, vxi11_encode(vxi11_create_link_resp{0, 1, 0, 1024})))
        << Hex("5dc0b177 00000001 00000000 00000000 00000000 00000000 00000000 00000001"
               " 00000000 00000400");

    QTest::newRow("PROG_MISMATCH 2..2")
        << Bytes(rpc_encode_reply_error(9, rpc_prog_mismatch, 2, 2))
        << Hex("00000009 00000001 00000000 00000000 00000000 00000002 00000002 00000002");
}

void CVxi11CodecTest::GoldenEncode()
{
    QFETCH(QByteArray, baEncoded);
    QFETCH(QByteArray, baExpected);
    QCOMPARE(baEncoded.toHex(' '), baExpected.toHex(' '));
}

void CVxi11CodecTest::GoldenReplies()
{
    const xdr_bytes link = Raw(Hex("5dc0b177 00000001 00000000 00000000 00000000 00000000"
                                   " 00000000 00000001 00000000 00000400"));
    rpc_reply_info info;
    QCOMPARE(int(rpc_decode_reply(link, 0x5dc0b177, &info)), int(rpc_ok));
    xdr_reader r(link.data() + info.results_offset, link.size() - info.results_offset);
    vxi11_create_link_resp resp;
    QVERIFY(vxi11_decode(r, &resp));
    QCOMPARE(resp.error, 0);
    QCOMPARE(resp.lid, 1);
    QCOMPARE(resp.max_recv_size, 1024u);

    const xdr_bytes read = Raw(Hex("00000002 00000001 00000000 00000000 00000000 00000000"
                                   " 00000000 00000004 00000014")
                               + QByteArray("SIMCO,SIM1,0001,1.0\n"));
    QCOMPARE(int(rpc_decode_reply(read, 2, &info)), int(rpc_ok));
    xdr_reader r2(read.data() + info.results_offset, read.size() - info.results_offset);
    vxi11_read_resp rr;
    QVERIFY(vxi11_decode(r2, &rr, 1 << 20));
    QCOMPARE(rr.reason, uint32_t(vxi11_reason_end));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(rr.data), int(rr.size)),
             QByteArray("SIMCO,SIM1,0001,1.0\n"));
}

// A record arrives split at every possible place, in several fragments,
// and followed by the start of the next record.
void CVxi11CodecTest::Reassembly_data()
{
    QTest::addColumn<int>("nFragment");
    QTest::addColumn<int>("nFeed");

    QTest::newRow("one fragment, byte by byte") << 100000 << 1;
    QTest::newRow("3-byte fragments, 5-byte feeds") << 3 << 5;
    QTest::newRow("7-byte fragments, 2-byte feeds") << 7 << 2;
    QTest::newRow("1-byte fragments, all at once") << 1 << 100000;
    QTest::newRow("64-byte fragments, 1000-byte feeds") << 64 << 1000;
}

void CVxi11CodecTest::Reassembly()
{
    QFETCH(int, nFragment);
    QFETCH(int, nFeed);

    xdr_bytes first(301), second(5, 0xAB);
    for (size_t i = 0; i < first.size(); ++i)
        first[i] = uint8_t(i * 7);
    xdr_bytes stream = rpc_record_encode(first, size_t(nFragment));
    const xdr_bytes tail = rpc_record_encode(second, size_t(nFragment));
    stream.insert(stream.end(), tail.begin(), tail.end());

    rpc_record_assembler asm_(4096);
    std::vector<xdr_bytes> lstRecords;
    size_t pos = 0;
    while (pos < stream.size()) {
        size_t n = std::min(size_t(nFeed), stream.size() - pos);
        size_t used = 0;
        while (n) {
            const auto res = asm_.feed(stream.data() + pos, n, &used);
            QVERIFY(res != rpc_record_assembler::too_large);
            pos += used;
            n -= used;
            if (res == rpc_record_assembler::record_ready)
                lstRecords.push_back(asm_.take());
            else
                QCOMPARE(n, size_t(0));
        }
    }
    QCOMPARE(lstRecords.size(), size_t(2));
    QVERIFY(lstRecords[0] == first);
    QVERIFY(lstRecords[1] == second);
}

void CVxi11CodecTest::HostileRecord_data()
{
    QTest::addColumn<QByteArray>("baStream");
    QTest::addColumn<int>("nMax");

    QTest::newRow("2 GiB fragment") << Hex("ffffffff 00") << (1 << 20);
    QTest::newRow("fragments adding up past the limit")
        << (Hex("00000800") + QByteArray(0x800, 'x') + Hex("00000801")) << 4096;
    QTest::newRow("single fragment one past the limit") << Hex("80001001") << 4096;
}

void CVxi11CodecTest::HostileRecord()
{
    QFETCH(QByteArray, baStream);
    QFETCH(int, nMax);
    rpc_record_assembler asm_{size_t(nMax)};
    size_t used = 0;
    const xdr_bytes stream = Raw(baStream);
    QCOMPARE(int(asm_.feed(stream.data(), stream.size(), &used)), int(rpc_record_assembler::too_large));
}

void CVxi11CodecTest::HostileReply_data()
{
    QTest::addColumn<QByteArray>("baBody");
    QTest::addColumn<int>("eStatus");
    QTest::addColumn<bool>("bReadRespOk");

    const QByteArray baHead = Hex("00000005 00000001 00000000 00000000 00000000 00000000");
    QTest::newRow("valid read reply") << baHead + Hex("00000000 00000004 00000002 41420000")
                                      << int(rpc_ok) << true;
    QTest::newRow("wrong xid") << Hex("00000006 00000001 00000000 00000000 00000000 00000000")
                               << int(rpc_wrong_xid) << false;
    QTest::newRow("a call, not a reply") << Hex("00000005 00000000 00000002") << int(rpc_malformed) << false;
    QTest::newRow("short header") << Hex("00000005 00000001 000000") << int(rpc_malformed) << false;
    QTest::newRow("denied") << Hex("00000005 00000001 00000001 00000000 00000002 00000002")
                            << int(rpc_denied) << false;
    QTest::newRow("proc unavailable")
        << Hex("00000005 00000001 00000000 00000000 00000000 00000003") << int(rpc_not_success) << false;
    QTest::newRow("verifier longer than the record")
        << Hex("00000005 00000001 00000000 00000000 00001000 00000000") << int(rpc_malformed) << false;
    QTest::newRow("opaque length 4 GiB") << baHead + Hex("00000000 00000004 ffffffff 41420000")
                                         << int(rpc_ok) << false;
    QTest::newRow("opaque past the end") << baHead + Hex("00000000 00000004 00000009 41420000")
                                         << int(rpc_ok) << false;
    QTest::newRow("opaque without padding") << baHead + Hex("00000000 00000004 00000002 4142")
                                            << int(rpc_ok) << false;
    QTest::newRow("opaque over the caller's limit")
        << baHead + Hex("00000000 00000004 00000020") + QByteArray(32, 'z') << int(rpc_ok) << false;
    QTest::newRow("truncated results") << baHead + Hex("00000000") << int(rpc_ok) << false;
}

void CVxi11CodecTest::HostileReply()
{
    QFETCH(QByteArray, baBody);
    QFETCH(int, eStatus);
    QFETCH(bool, bReadRespOk);

    const xdr_bytes body = Raw(baBody);
    rpc_reply_info info;
    QCOMPARE(int(rpc_decode_reply(body, 5, &info)), eStatus);
    if (eStatus != rpc_ok)
        return;
    xdr_reader r(body.data() + info.results_offset, body.size() - info.results_offset);
    vxi11_read_resp rr;
    QCOMPARE(vxi11_decode(r, &rr, 16), bReadRespOk);
}

void CVxi11CodecTest::ServerSideCall()
{
    // AUTH_SYS credentials as libtirpc sends them must be skipped, not rejected.
    xdr_writer w;
    for (uint32_t u : {7u, 0u, 2u, uint32_t(pmap_prog), 2u, uint32_t(pmap_getport), 1u})
        w.put_u32(u);
    const uint8_t cred[12] = {0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0};
    w.put_opaque(cred, sizeof cred);
    w.put_u32(0);
    w.put_u32(0);
    w.put_raw(pmap_encode_mapping({vxi11_core_prog, 1, pmap_ipproto_tcp, 0}));

    rpc_call_info call;
    QCOMPARE(int(rpc_decode_call(w.buf, &call)), int(rpc_ok));
    QCOMPARE(call.h.xid, 7u);
    QCOMPARE(call.h.proc, uint32_t(pmap_getport));
    xdr_reader r(w.buf.data() + call.args_offset, w.buf.size() - call.args_offset);
    pmap_mapping m;
    QVERIFY(pmap_decode_mapping(r, &m));
    QCOMPARE(m.prog, vxi11_core_prog);

    w.buf[8 + 3] = 3;   // RPC version 3 is refused, not misparsed
    QCOMPARE(int(rpc_decode_call(w.buf, &call)), int(rpc_denied));
}

QTEST_GUILESS_MAIN(CVxi11CodecTest)
#include "tst_vxi11_codec.moc"

