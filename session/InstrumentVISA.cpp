#include "InstrumentVISA.h"

#include <QString>

#include <visa.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <mutex>

// A library-specific extension of our VISA library. Weak, so that VelqLink still loads with
// a VISA library that lacks it; the status value then stands in for its name.
#pragma weak velqStatusName

static_assert(sizeof(ViSession) == sizeof(std::uint32_t) && sizeof(ViStatus) == sizeof(std::int32_t),
              "the public header spells the VISA handle and status types as fixed-width integers");

std::uint32_t CInstrumentVISA::m_viDefaultRM = 0;
unsigned int CInstrumentVISA::m_iInstrument = 0;

namespace {

// Resource names are built into a buffer of this size, zero included.
constexpr int kResourceNameSize = 128;

const char kRmFailedText[] = "Error: Failed to open default resource manager!";

// Guards the object count and the shared resource manager handle, so objects may be
// created and destroyed on different threads without opening or closing it twice.
std::mutex s_mtxShared;

void StderrMessage(const QString& strText)
{
    std::fprintf(stderr, "%s\n", strText.toLocal8Bit().constData());
    std::fflush(stderr);
}

std::atomic<CInstrumentVISA::MessageHook> s_pMessageHook{&StderrMessage};

void ShowMessage(const QString& strText)
{
    // The hook is the application's code; whatever it throws must not leave this library.
    try {
        CInstrumentVISA::MessageHook pHook = s_pMessageHook.load();
        pHook(strText);
    } catch (...) {
        StderrMessage(strText);
    }
}

// The socket layer's only process-wide setting on this platform: a write to a
// connection the instrument has closed must come back as an error, not kill the
// program with SIGPIPE. A handler the application installed itself is left alone.
struct CSocketLayerInit
{
    CSocketLayerInit()
    {
#ifdef SIGPIPE
        struct sigaction saOld = {};
        if (sigaction(SIGPIPE, nullptr, &saOld) != 0) {
            std::fputs("VelqLink: cannot query the SIGPIPE disposition\n", stderr);
            return;
        }
        if ((saOld.sa_flags & SA_SIGINFO) == 0 && saOld.sa_handler == SIG_DFL) {
            struct sigaction saIgnore = {};
            saIgnore.sa_handler = SIG_IGN;
            sigemptyset(&saIgnore.sa_mask);
            if (sigaction(SIGPIPE, &saIgnore, nullptr) != 0)
                std::fputs("VelqLink: cannot ignore SIGPIPE\n", stderr);
        }
#endif
    }
};

const CSocketLayerInit s_socketLayerInit;

} // namespace

// Opens the shared manager unless it is open; s_mtxShared must be held. Reopening an
// open manager would orphan its handle and the sessions other objects opened through
// it. nStatus receives the status of an opening actually made.
bool CInstrumentVISA::OpenManagerLocked(std::int32_t& nStatus)
{
    if (m_viDefaultRM != VI_NULL)
        return true;
    ViSession viRM = VI_NULL;
    nStatus = viOpenDefaultRM(&viRM);
    // A warning (positive status) still opens the manager; on failure the handle is not
    // trusted, whatever the library left in it.
    const bool bOpen = nStatus >= VI_SUCCESS;
    m_viDefaultRM = bOpen ? viRM : VI_NULL;
    return bOpen;
}

CInstrumentVISA::CInstrumentVISA()
    : m_viSession(VI_NULL), m_viStatus(VI_SUCCESS)
{
    bool bFailed = false;
    {
        std::lock_guard<std::mutex> lock(s_mtxShared);
        ++m_iInstrument;
        bFailed = !OpenManagerLocked(m_viStatus);
    }
    // Outside the lock: the hook may run a modal event loop.
    if (bFailed)
        ReportManagerFailure();
}

CInstrumentVISA::~CInstrumentVISA()
{
    if (m_viSession != VI_NULL) {
        viClose(m_viSession);
        m_viSession = VI_NULL;
    }
    std::lock_guard<std::mutex> lock(s_mtxShared);
    --m_iInstrument;
    if (m_iInstrument == 0 && m_viDefaultRM != VI_NULL) {
        viClose(m_viDefaultRM);
        m_viDefaultRM = VI_NULL;
    }
}

int CInstrumentVISA::WriteCommand(const char* pBuffer, std::int32_t nCount, std::uint32_t& uWritten)
{
    uWritten = 0;
    // Passed on, a negative count would become a 4 GB length and send memory beyond the buffer.
    if (nCount < 0) {
        NoteStatus(VI_NULL, VI_ERROR_USER_BUF);
        return 0;
    }
    ViUInt32 uCount = 0;
    const ViStatus viStatus =
        viWrite(m_viSession, reinterpret_cast<ViConstBuf>(pBuffer), static_cast<ViUInt32>(nCount), &uCount);
    uWritten = uCount;
    NoteStatus(m_viSession, viStatus);
    return viStatus == VI_SUCCESS ? 1 : 0;
}

int CInstrumentVISA::ReadCommand(char* pBuffer, std::int32_t nSize, std::uint32_t& uRead)
{
    uRead = 0;
    // Passed on, a negative size would let VISA write far beyond the caller's buffer.
    if (nSize < 0) {
        NoteStatus(VI_NULL, VI_ERROR_USER_BUF);
        return VI_ERROR_USER_BUF;
    }
    ViUInt32 uCount = 0;
    const ViStatus viStatus =
        viRead(m_viSession, reinterpret_cast<ViBuf>(pBuffer), static_cast<ViUInt32>(nSize), &uCount);
    uRead = uCount;
    NoteStatus(m_viSession, viStatus);
    return viStatus;
}

int CInstrumentVISA::WriteAndRead(const char* pWrite, std::int32_t nWriteCount, char* pRead,
                                  std::int32_t nReadSize, std::uint32_t& uWritten, std::uint32_t& uRead)
{
    uRead = 0;
    if (WriteCommand(pWrite, nWriteCount, uWritten) == 0)
        return 0;
    return ReadCommand(pRead, nReadSize, uRead);
}

int CInstrumentVISA::SetInstrumentControl(const char* pszResource, int nTimeOut)
{
    DisconnectInstru();
    if (pszResource == nullptr) {
        NoteStatus(VI_NULL, VI_ERROR_INV_RSRC_NAME);
        return 0;
    }

    ViSession viRM = VI_NULL;
    {
        std::lock_guard<std::mutex> lock(s_mtxShared);
        viRM = m_viDefaultRM;
    }
    ViSession viSession = VI_NULL;
    const ViStatus viStatus = viOpen(viRM, pszResource, VI_NO_LOCK, 0, &viSession);
    NoteStatus(viRM, viStatus);
    if (viStatus != VI_SUCCESS) {
        // A completion code such as VI_SUCCESS_DEV_NPRESENT still opened a session;
        // it is refused like an error, so close it rather than lose the handle.
        if (viStatus > VI_SUCCESS && viSession != VI_NULL)
            viClose(viSession);
        m_viSession = VI_NULL;
        return 0;
    }
    m_viSession = viSession;
    // -1 becomes VI_TMO_INFINITE, as VISA programs customarily write it.
    viSetAttribute(m_viSession, VI_ATTR_TMO_VALUE, static_cast<ViAttrState>(static_cast<ViUInt32>(nTimeOut)));
    viClear(m_viSession);
    return 1;
}

int CInstrumentVISA::SetInstrumentControl(const QString& strAddress, int nTimeOut)
{
    // Only Latin-1 converts one to one; a NUL would silently cut the name short.
    bool bConvertible = true;
    for (const QChar ch : strAddress) {
        if (ch.unicode() == 0 || ch.unicode() > 0xFF) {
            bConvertible = false;
            break;
        }
    }
    char szResource[kResourceNameSize] = {};
    if (bConvertible) {
        const QByteArray baHost = strAddress.toLatin1();
        const int nLength = std::snprintf(szResource, sizeof szResource, "TCPIP::%s::INSTR", baHost.constData());
        // A truncated name could open some other instrument, so it is refused whole.
        bConvertible = nLength > 0 && nLength < kResourceNameSize;
    }
    if (!bConvertible) {
        DisconnectInstru();
        NoteStatus(VI_NULL, VI_ERROR_INV_RSRC_NAME);
        return 0;
    }
    return SetInstrumentControl(static_cast<const char*>(szResource), nTimeOut);
}

int CInstrumentVISA::SetInstrumentControl(int nGpibAddress, int nTimeOut)
{
    char szResource[kResourceNameSize] = {};
    std::snprintf(szResource, sizeof szResource, "GPIB::%d::INSTR", nGpibAddress);
    return SetInstrumentControl(static_cast<const char*>(szResource), nTimeOut);
}

const char16_t* CInstrumentVISA::GetInstrumentInfo()
{
    return u"Instrument Class";
}

int CInstrumentVISA::DisconnectInstru()
{
    if (m_viSession != VI_NULL) {
        viClose(m_viSession);
        m_viSession = VI_NULL;
    }
    return 1;
}

int CInstrumentVISA::IsInstruConnected() const
{
    return m_viSession != VI_NULL ? 1 : 0;
}

int CInstrumentVISA::OpenSession()
{
    bool bOpen = false;
    {
        std::lock_guard<std::mutex> lock(s_mtxShared);
        bOpen = OpenManagerLocked(m_viStatus);
    }
    if (!bOpen) {
        ReportManagerFailure();
        return 0;
    }
    return 1;
}

void CInstrumentVISA::SetMessageHook(MessageHook pHook)
{
    s_pMessageHook.store(pHook != nullptr ? pHook : &StderrMessage);
}

void CInstrumentVISA::ErrorHandler(std::uint32_t viObject, std::int32_t nStatus, char* pszText) const
{
    if (pszText != nullptr)
        viStatusDesc(viObject, nStatus, pszText);
}

std::int32_t CInstrumentVISA::GetLastStatus() const
{
    return m_nLastStatus;
}

QString CInstrumentVISA::GetLastStatusName() const
{
    char szName[kErrorTextSize] = {};
    if (&velqStatusName != nullptr && velqStatusName(m_nLastStatus, szName) >= VI_SUCCESS)
        return QString::fromLatin1(szName);
    return QStringLiteral("0x")
        + QString::number(static_cast<std::uint32_t>(m_nLastStatus), 16).toUpper().rightJustified(8, QLatin1Char('0'));
}

QString CInstrumentVISA::GetLastStatusDesc() const
{
    if (m_szLastStatusDesc[0] != '\0')
        return QString::fromLatin1(m_szLastStatusDesc);
    char szDesc[kErrorTextSize] = {};
    ErrorHandler(VI_NULL, m_nLastStatus, szDesc);
    return QString::fromLatin1(szDesc);
}

void CInstrumentVISA::NoteStatus(std::uint32_t viObject, std::int32_t nStatus)
{
    m_nLastStatus = nStatus;
    m_szLastStatusDesc[0] = '\0';
    // Reads succeed far more often than they fail; only a failure pays for its description.
    if (nStatus < VI_SUCCESS)
        ErrorHandler(viObject, nStatus, m_szLastStatusDesc);
}

void CInstrumentVISA::ReportManagerFailure()
{
    NoteStatus(VI_NULL, m_viStatus);
    ShowMessage(QString::fromLatin1(kRmFailedText) + QLatin1Char('\n') + GetLastStatusName() + QStringLiteral(": ")
                + GetLastStatusDesc());
}
