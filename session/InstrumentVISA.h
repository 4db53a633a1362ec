#pragma once

#include "Instrument.h"

#include <cstdint>

class QString;

/**
 * @brief CInstrument on top of the VISA library.
 *
 * One object stands for one instrument session. All objects of a process share
 * one session to the VISA default resource manager: the first object opens it
 * and the last one to be destroyed closes it.
 *
 * Bytes and counts go to VISA unchanged: no buffering, no terminators, no text
 * conversion. An object may be used from one thread at a time; construction and
 * destruction are safe from any thread.
 */
class SESSION_EXPORT CInstrumentVISA : public CInstrument
{
public:
    /**
     * @brief Receives the library's user-visible error messages.
     *
     * The library never shows a window itself; an application with widgets installs
     * a hook that shows @p strText in a modal message box.
     */
    using MessageHook = void (*)(const QString& strText);

    /** @brief Opens the shared resource manager if no object has it open yet. */
    CInstrumentVISA();
    /** @brief Closes this object's session, and the resource manager if this is the last object. */
    ~CInstrumentVISA() override;

    // A copy would close the same VISA session twice and skew the object count.
    CInstrumentVISA(const CInstrumentVISA&) = delete;
    CInstrumentVISA& operator=(const CInstrumentVISA&) = delete;

    int WriteCommand(const char* pBuffer, std::int32_t nCount, std::uint32_t& uWritten) override;
    /** @copydoc CInstrument::ReadCommand
     *  A negative @p nSize returns VI_ERROR_USER_BUF without I/O. */
    int ReadCommand(char* pBuffer, std::int32_t nSize, std::uint32_t& uRead) override;
    int WriteAndRead(const char* pWrite, std::int32_t nWriteCount, char* pRead, std::int32_t nReadSize,
                     std::uint32_t& uWritten, std::uint32_t& uRead) override;
    /** @copydoc CInstrument::SetInstrumentControl(const char*, int)
     *  The time-out is set with VI_ATTR_TMO_VALUE and the device is cleared with viClear. */
    int SetInstrumentControl(const char* pszResource, int nTimeOut) override;
    /** @copydoc CInstrument::SetInstrumentControl(const QString&, int)
     *  A name longer than 127 bytes is refused: the open session is closed and 0 returned. */
    int SetInstrumentControl(const QString& strAddress, int nTimeOut) override;
    int SetInstrumentControl(int nGpibAddress, int nTimeOut) override;
    /** @return u"Instrument Class" */
    const char16_t* GetInstrumentInfo() override;
    int DisconnectInstru() override;
    int IsInstruConnected() const override;

    /**
     * @brief Opens the shared default resource manager if it is not open.
     *
     * Reports "Error: Failed to open default resource manager!" through the message
     * hook on failure. An already open manager is kept, since replacing it would
     * orphan the sessions other objects opened through it.
     * @return 1 when the resource manager is open, else 0
     */
    virtual int OpenSession();

    /**
     * @brief Installs the receiver of user-visible messages; nullptr restores the default,
     *        which writes one line to stderr. Safe to call from any thread.
     */
    static void SetMessageHook(MessageHook pHook);

    /** @brief Size of the buffer ErrorHandler() writes to, as VISA requires. */
    static constexpr int kErrorTextSize = 256;

    /**
     * @brief VISA status of this object's most recent open, write or read, or of its failed
     *        opening of the resource manager; VI_SUCCESS (0) before any.
     *
     * A refused name or count that never reached VISA counts as VI_ERROR_INV_RSRC_NAME or
     * VI_ERROR_USER_BUF. Like the operations, call it from the thread that uses the object.
     */
    std::int32_t GetLastStatus() const;
    /**
     * @brief The standard name of GetLastStatus(), "VI_ERROR_TMO"; where the VISA library
     *        names no such code, its value, "0xBFFF1234".
     */
    QString GetLastStatusName() const;
    /**
     * @brief The VISA library's description of GetLastStatus(), taken when the status came,
     *        so that it includes the cause the library found ("... Connection refused.").
     */
    QString GetLastStatusDesc() const;

protected:
    /**
     * @brief Writes VISA's description of @p nStatus into @p pszText.
     * @param viObject session or object the status came from (0 is allowed)
     * @param nStatus  VISA status to describe
     * @param pszText  buffer of at least kErrorTextSize bytes; nullptr does nothing
     */
    void ErrorHandler(std::uint32_t viObject, std::int32_t nStatus, char* pszText) const;

    /** @brief VISA session of the instrument; 0 while not connected. */
    std::uint32_t m_viSession;
    /** @brief Status of the last opening of the resource manager made by this object. */
    std::int32_t m_viStatus;

    /** @brief Shared VISA default resource manager session; 0 while closed. */
    static std::uint32_t m_viDefaultRM;

private:
    static bool OpenManagerLocked(std::int32_t& nStatus);
    // viObject: where the status came from, for its description.
    void NoteStatus(std::uint32_t viObject, std::int32_t nStatus);
    void ReportManagerFailure();

    static unsigned int m_iInstrument;

    std::int32_t m_nLastStatus = 0;
    // Empty unless m_nLastStatus is an error: the library adds the cause of a failure only
    // on the failing thread and only until its next call.
    char m_szLastStatusDesc[kErrorTextSize] = {};
};
