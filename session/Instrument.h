#pragma once

#include "session_export.h"

#include <cstdint>

class QString;

/**
 * @brief Abstract interface to one remote-controlled instrument.
 *
 * The order of the virtual operations is part of the library's binary interface:
 * the destructor first, then the operations exactly as declared below. Add new
 * operations only in derived classes, after the existing ones.
 *
 * Every operation returns 1 for success and 0 for failure, except ReadCommand(),
 * which hands back the raw VISA status.
 */
class SESSION_EXPORT CInstrument
{
public:
    CInstrument() = default;
    CInstrument(const CInstrument&) {}
    CInstrument& operator=(const CInstrument&) { return *this; }

    /** @brief Closes whatever the implementation holds open. */
    virtual ~CInstrument();

    /**
     * @brief Sends bytes to the instrument as they are, without adding a terminator.
     * @param pBuffer  bytes to send
     * @param nCount   number of bytes to send; a negative count fails without I/O
     * @param uWritten receives the number of bytes actually sent
     * @return 1 when every byte was sent (VISA status 0), else 0
     */
    virtual int WriteCommand(const char* pBuffer, std::int32_t nCount, std::uint32_t& uWritten) = 0;

    /**
     * @brief Reads part or all of one answer.
     * @param pBuffer buffer receiving the bytes; nothing is zero-terminated
     * @param nSize   size of @p pBuffer in bytes
     * @param uRead   receives the number of bytes stored
     * @return the VISA status unchanged: 0 or a positive completion code when the read ended
     *         normally (0x3FFF0006 means the buffer filled and more is to come), negative on error
     */
    virtual int ReadCommand(char* pBuffer, std::int32_t nSize, std::uint32_t& uRead) = 0;

    /** @name The statuses ReadCommand passes on when a read ends normally */
    ///@{
    static constexpr int kReadComplete = 0;            ///< the message ended (END)
    static constexpr int kReadTermChar = 0x3FFF0005;   ///< the termination character ended it
    static constexpr int kReadBufferFull = 0x3FFF0006; ///< the buffer filled; more is to come
    ///@}

    /**
     * @brief WriteCommand() followed, if it succeeded, by ReadCommand().
     * @return 0 when the write fails, otherwise the status of the read
     */
    virtual int WriteAndRead(const char* pWrite, std::int32_t nWriteCount, char* pRead,
                             std::int32_t nReadSize, std::uint32_t& uWritten, std::uint32_t& uRead) = 0;

    /**
     * @brief Opens a session to the resource named @p pszResource, closing any open one first.
     * @param pszResource zero-terminated 8-bit VISA resource name, e.g. "TCPIP0::127.0.0.1::INSTR"
     * @param nTimeOut    I/O time-out in milliseconds for the new session
     * @return 1 when the session is open, else 0
     */
    virtual int SetInstrumentControl(const char* pszResource, int nTimeOut) = 0;

    /**
     * @brief Opens the VXI-11 instrument "TCPIP::<host>::INSTR".
     * @param strAddress host name or address; it must convert to 8-bit (Latin-1) text
     * @return as the resource-name overload; 0 when the name cannot be built
     */
    virtual int SetInstrumentControl(const QString& strAddress, int nTimeOut) = 0;

    /**
     * @brief Opens the instrument "GPIB::<address>::INSTR".
     * @return as the resource-name overload
     */
    virtual int SetInstrumentControl(int nGpibAddress, int nTimeOut) = 0;

    /** @brief A fixed description of the class, valid whether or not connected. */
    virtual const char16_t* GetInstrumentInfo() = 0;

    /** @brief Closes the instrument session if one is open. @return always 1 */
    virtual int DisconnectInstru() = 0;

    /** @return 1 while an instrument session is open, else 0 */
    virtual int IsInstruConnected() const = 0;
};
