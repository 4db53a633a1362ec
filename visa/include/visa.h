/**
 * @file visa.h
 * @brief VISA C API of the Velquist VISA library (libvelqvisa): status codes, attributes,
 *        constants and the exported functions.
 *
 * Status codes and attribute identifiers have their standard values, so programs written
 * against the standard API, and bindings that load the library by path, work unchanged.
 */
#ifndef VELQ_VISA_H
#define VELQ_VISA_H

#include "visatype.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Marks a function exported from libvelqvisa (the library is otherwise built hidden). */
#if defined(__GNUC__)
#define VELQ_VISA_API __attribute__((visibility("default")))
#else
#define VELQ_VISA_API
#endif

typedef ViObject ViEvent;
typedef ViEvent *ViPEvent;
typedef ViObject ViFindList;
typedef ViFindList *ViPFindList;
#ifdef _VISA_ENV_IS_64_BIT
typedef ViUInt64 ViBusAddress;
typedef ViUInt64 ViBusSize;
typedef ViUInt64 ViAttrState;
#else
typedef ViUInt32 ViBusAddress;
typedef ViUInt32 ViBusSize;
typedef ViUInt32 ViAttrState;
#endif
typedef ViBusAddress *ViPBusAddress;
typedef ViUInt64 ViBusAddress64;
typedef ViBusAddress64 *ViPBusAddress64;
typedef ViUInt32 ViEventType;
typedef ViEventType *ViPEventType;
typedef ViEventType *ViAEventType;
typedef void *ViPAttrState;
typedef ViAttr *ViPAttr;
typedef ViAttr *ViAAttr;
typedef ViString ViKeyId;
typedef ViConstString ViConstKeyId;
typedef ViPString ViPKeyId;
typedef ViUInt32 ViJobId;
typedef ViJobId *ViPJobId;
typedef ViUInt32 ViAccessMode;
typedef ViAccessMode *ViPAccessMode;
typedef ViUInt32 ViEventFilter;

/** Event handler prototype (events are not delivered by this implementation yet). */
typedef ViStatus (*ViHndlr)(ViSession vi, ViEventType eventType, ViEvent event, ViAddr userHandle);

/** Packed version of the VISA standard this library follows: 7.1. */
#define VI_SPEC_VERSION (0x00700100UL)

/** Size every descriptive output buffer (find results, status texts, string attributes) must have. */
#define VI_FIND_BUFLEN (256)

/* ---- Status codes ---- */

#define VI_SUCCESS_EVENT_EN              (0x3FFF0002L)
#define VI_SUCCESS_EVENT_DIS             (0x3FFF0003L)
#define VI_SUCCESS_QUEUE_EMPTY           (0x3FFF0004L)
#define VI_SUCCESS_TERM_CHAR             (0x3FFF0005L)
#define VI_SUCCESS_MAX_CNT               (0x3FFF0006L)
#define VI_SUCCESS_DEV_NPRESENT          (0x3FFF007DL)
#define VI_SUCCESS_TRIG_MAPPED           (0x3FFF007EL)
#define VI_SUCCESS_QUEUE_NEMPTY          (0x3FFF0080L)
#define VI_SUCCESS_NCHAIN                (0x3FFF0098L)
#define VI_SUCCESS_NESTED_SHARED         (0x3FFF0099L)
#define VI_SUCCESS_NESTED_EXCLUSIVE      (0x3FFF009AL)
#define VI_SUCCESS_SYNC                  (0x3FFF009BL)
#define VI_WARN_QUEUE_OVERFLOW           (0x3FFF000CL)
#define VI_WARN_CONFIG_NLOADED           (0x3FFF0077L)
#define VI_WARN_NULL_OBJECT              (0x3FFF0082L)
#define VI_WARN_NSUP_ATTR_STATE          (0x3FFF0084L)
#define VI_WARN_UNKNOWN_STATUS           (0x3FFF0085L)
#define VI_WARN_NSUP_BUF                 (0x3FFF0088L)
#define VI_ERROR_SYSTEM_ERROR            (_VI_ERROR + 0x3FFF0000L)
#define VI_ERROR_INV_OBJECT              (_VI_ERROR + 0x3FFF000EL)
#define VI_ERROR_RSRC_LOCKED             (_VI_ERROR + 0x3FFF000FL)
#define VI_ERROR_INV_EXPR                (_VI_ERROR + 0x3FFF0010L)
#define VI_ERROR_RSRC_NFOUND             (_VI_ERROR + 0x3FFF0011L)
#define VI_ERROR_INV_RSRC_NAME           (_VI_ERROR + 0x3FFF0012L)
#define VI_ERROR_INV_ACC_MODE            (_VI_ERROR + 0x3FFF0013L)
#define VI_ERROR_TMO                     (_VI_ERROR + 0x3FFF0015L)
#define VI_ERROR_CLOSING_FAILED          (_VI_ERROR + 0x3FFF0016L)
#define VI_ERROR_INV_DEGREE              (_VI_ERROR + 0x3FFF001BL)
#define VI_ERROR_INV_JOB_ID              (_VI_ERROR + 0x3FFF001CL)
#define VI_ERROR_NSUP_ATTR               (_VI_ERROR + 0x3FFF001DL)
#define VI_ERROR_NSUP_ATTR_STATE         (_VI_ERROR + 0x3FFF001EL)
#define VI_ERROR_ATTR_READONLY           (_VI_ERROR + 0x3FFF001FL)
#define VI_ERROR_INV_LOCK_TYPE           (_VI_ERROR + 0x3FFF0020L)
#define VI_ERROR_INV_ACCESS_KEY          (_VI_ERROR + 0x3FFF0021L)
#define VI_ERROR_INV_EVENT               (_VI_ERROR + 0x3FFF0026L)
#define VI_ERROR_INV_MECH                (_VI_ERROR + 0x3FFF0027L)
#define VI_ERROR_HNDLR_NINSTALLED        (_VI_ERROR + 0x3FFF0028L)
#define VI_ERROR_INV_HNDLR_REF           (_VI_ERROR + 0x3FFF0029L)
#define VI_ERROR_INV_CONTEXT             (_VI_ERROR + 0x3FFF002AL)
#define VI_ERROR_QUEUE_OVERFLOW          (_VI_ERROR + 0x3FFF002DL)
#define VI_ERROR_NENABLED                (_VI_ERROR + 0x3FFF002FL)
#define VI_ERROR_ABORT                   (_VI_ERROR + 0x3FFF0030L)
#define VI_ERROR_RAW_WR_PROT_VIOL        (_VI_ERROR + 0x3FFF0034L)
#define VI_ERROR_RAW_RD_PROT_VIOL        (_VI_ERROR + 0x3FFF0035L)
#define VI_ERROR_OUTP_PROT_VIOL          (_VI_ERROR + 0x3FFF0036L)
#define VI_ERROR_INP_PROT_VIOL           (_VI_ERROR + 0x3FFF0037L)
#define VI_ERROR_BERR                    (_VI_ERROR + 0x3FFF0038L)
#define VI_ERROR_IN_PROGRESS             (_VI_ERROR + 0x3FFF0039L)
#define VI_ERROR_INV_SETUP               (_VI_ERROR + 0x3FFF003AL)
#define VI_ERROR_QUEUE_ERROR             (_VI_ERROR + 0x3FFF003BL)
#define VI_ERROR_ALLOC                   (_VI_ERROR + 0x3FFF003CL)
#define VI_ERROR_INV_MASK                (_VI_ERROR + 0x3FFF003DL)
#define VI_ERROR_IO                      (_VI_ERROR + 0x3FFF003EL)
#define VI_ERROR_INV_FMT                 (_VI_ERROR + 0x3FFF003FL)
#define VI_ERROR_NSUP_FMT                (_VI_ERROR + 0x3FFF0041L)
#define VI_ERROR_LINE_IN_USE             (_VI_ERROR + 0x3FFF0042L)
#define VI_ERROR_NSUP_MODE               (_VI_ERROR + 0x3FFF0046L)
#define VI_ERROR_SRQ_NOCCURRED           (_VI_ERROR + 0x3FFF004AL)
#define VI_ERROR_INV_SPACE               (_VI_ERROR + 0x3FFF004EL)
#define VI_ERROR_INV_OFFSET              (_VI_ERROR + 0x3FFF0051L)
#define VI_ERROR_INV_WIDTH               (_VI_ERROR + 0x3FFF0052L)
#define VI_ERROR_NSUP_OFFSET             (_VI_ERROR + 0x3FFF0054L)
#define VI_ERROR_NSUP_VAR_WIDTH          (_VI_ERROR + 0x3FFF0055L)
#define VI_ERROR_WINDOW_NMAPPED          (_VI_ERROR + 0x3FFF0057L)
#define VI_ERROR_RESP_PENDING            (_VI_ERROR + 0x3FFF0059L)
#define VI_ERROR_NLISTENERS              (_VI_ERROR + 0x3FFF005FL)
#define VI_ERROR_NCIC                    (_VI_ERROR + 0x3FFF0060L)
#define VI_ERROR_NSYS_CNTLR              (_VI_ERROR + 0x3FFF0061L)
#define VI_ERROR_NSUP_OPER               (_VI_ERROR + 0x3FFF0067L)
#define VI_ERROR_INTR_PENDING            (_VI_ERROR + 0x3FFF0068L)
#define VI_ERROR_ASRL_PARITY             (_VI_ERROR + 0x3FFF006AL)
#define VI_ERROR_ASRL_FRAMING            (_VI_ERROR + 0x3FFF006BL)
#define VI_ERROR_ASRL_OVERRUN            (_VI_ERROR + 0x3FFF006CL)
#define VI_ERROR_TRIG_NMAPPED            (_VI_ERROR + 0x3FFF006EL)
#define VI_ERROR_NSUP_ALIGN_OFFSET       (_VI_ERROR + 0x3FFF0070L)
#define VI_ERROR_USER_BUF                (_VI_ERROR + 0x3FFF0071L)
#define VI_ERROR_RSRC_BUSY               (_VI_ERROR + 0x3FFF0072L)
#define VI_ERROR_NSUP_WIDTH              (_VI_ERROR + 0x3FFF0076L)
#define VI_ERROR_INV_PARAMETER           (_VI_ERROR + 0x3FFF0078L)
#define VI_ERROR_INV_PROT                (_VI_ERROR + 0x3FFF0079L)
#define VI_ERROR_INV_SIZE                (_VI_ERROR + 0x3FFF007BL)
#define VI_ERROR_WINDOW_MAPPED           (_VI_ERROR + 0x3FFF0080L)
#define VI_ERROR_NIMPL_OPER              (_VI_ERROR + 0x3FFF0081L)
#define VI_ERROR_INV_LENGTH              (_VI_ERROR + 0x3FFF0083L)
#define VI_ERROR_INV_MODE                (_VI_ERROR + 0x3FFF0091L)
#define VI_ERROR_SESN_NLOCKED            (_VI_ERROR + 0x3FFF009CL)
#define VI_ERROR_MEM_NSHARED             (_VI_ERROR + 0x3FFF009DL)
#define VI_ERROR_LIBRARY_NFOUND          (_VI_ERROR + 0x3FFF009EL)
#define VI_ERROR_NSUP_INTR               (_VI_ERROR + 0x3FFF009FL)
#define VI_ERROR_INV_LINE                (_VI_ERROR + 0x3FFF00A0L)
#define VI_ERROR_FILE_ACCESS             (_VI_ERROR + 0x3FFF00A1L)
#define VI_ERROR_FILE_IO                 (_VI_ERROR + 0x3FFF00A2L)
#define VI_ERROR_NSUP_LINE               (_VI_ERROR + 0x3FFF00A3L)
#define VI_ERROR_NSUP_MECH               (_VI_ERROR + 0x3FFF00A4L)
#define VI_ERROR_INTF_NUM_NCONFIG        (_VI_ERROR + 0x3FFF00A5L)
#define VI_ERROR_CONN_LOST               (_VI_ERROR + 0x3FFF00A6L)
#define VI_ERROR_MACHINE_NAVAIL          (_VI_ERROR + 0x3FFF00A7L)
#define VI_ERROR_NPERMISSION             (_VI_ERROR + 0x3FFF00A8L)
#define VI_ERROR_INV_SESSION             VI_ERROR_INV_OBJECT
#define VI_ERROR_INV_FIND_LIST           VI_ERROR_INV_OBJECT

/* ---- Attributes (bit 31 set: the value is a string of up to 255 characters) ---- */
#define VI_ATTR_RSRC_CLASS                   (0xBFFF0001UL)
#define VI_ATTR_RSRC_NAME                    (0xBFFF0002UL)
#define VI_ATTR_RSRC_IMPL_VERSION            (0x3FFF0003UL)
#define VI_ATTR_RSRC_LOCK_STATE              (0x3FFF0004UL)
#define VI_ATTR_MAX_QUEUE_LENGTH             (0x3FFF0005UL)
#define VI_ATTR_USER_DATA_32                 (0x3FFF0007UL)
#define VI_ATTR_USER_DATA_64                 (0x3FFF000AUL)
#define VI_ATTR_SEND_END_EN                  (0x3FFF0016UL)
#define VI_ATTR_TERMCHAR                     (0x3FFF0018UL)
#define VI_ATTR_TMO_VALUE                    (0x3FFF001AUL)
#define VI_ATTR_GPIB_READDR_EN               (0x3FFF001BUL)
#define VI_ATTR_IO_PROT                      (0x3FFF001CUL)
#define VI_ATTR_DMA_ALLOW_EN                 (0x3FFF001EUL)
#define VI_ATTR_ASRL_BAUD                    (0x3FFF0021UL)
#define VI_ATTR_ASRL_DATA_BITS               (0x3FFF0022UL)
#define VI_ATTR_ASRL_PARITY                  (0x3FFF0023UL)
#define VI_ATTR_ASRL_STOP_BITS               (0x3FFF0024UL)
#define VI_ATTR_ASRL_FLOW_CNTRL              (0x3FFF0025UL)
#define VI_ATTR_RD_BUF_OPER_MODE             (0x3FFF002AUL)
#define VI_ATTR_RD_BUF_SIZE                  (0x3FFF002BUL)
#define VI_ATTR_WR_BUF_OPER_MODE             (0x3FFF002DUL)
#define VI_ATTR_WR_BUF_SIZE                  (0x3FFF002EUL)
#define VI_ATTR_SUPPRESS_END_EN              (0x3FFF0036UL)
#define VI_ATTR_TERMCHAR_EN                  (0x3FFF0038UL)
#define VI_ATTR_ASRL_AVAIL_NUM               (0x3FFF00ACUL)
#define VI_ATTR_ASRL_CTS_STATE               (0x3FFF00AEUL)
#define VI_ATTR_ASRL_DCD_STATE               (0x3FFF00AFUL)
#define VI_ATTR_ASRL_DISCARD_NULL            (0x3FFF00B0UL)
#define VI_ATTR_ASRL_DSR_STATE               (0x3FFF00B1UL)
#define VI_ATTR_ASRL_DTR_STATE               (0x3FFF00B2UL)
#define VI_ATTR_ASRL_END_IN                  (0x3FFF00B3UL)
#define VI_ATTR_ASRL_END_OUT                 (0x3FFF00B4UL)
#define VI_ATTR_ASRL_REPLACE_CHAR            (0x3FFF00BEUL)
#define VI_ATTR_ASRL_RI_STATE                (0x3FFF00BFUL)
#define VI_ATTR_ASRL_RTS_STATE               (0x3FFF00C0UL)
#define VI_ATTR_ASRL_XON_CHAR                (0x3FFF00C1UL)
#define VI_ATTR_ASRL_XOFF_CHAR               (0x3FFF00C2UL)
#define VI_ATTR_RM_SESSION                   (0x3FFF00C4UL)
#define VI_ATTR_MANF_ID                      (0x3FFF00D9UL)
#define VI_ATTR_MODEL_CODE                   (0x3FFF00DFUL)
#define VI_ATTR_MANF_NAME                    (0xBFFF0072UL)
#define VI_ATTR_MODEL_NAME                   (0xBFFF0077UL)
#define VI_ATTR_INTF_INST_NAME               (0xBFFF00E9UL)
#define VI_ATTR_RSRC_SPEC_VERSION            (0x3FFF0170UL)
#define VI_ATTR_INTF_TYPE                    (0x3FFF0171UL)
#define VI_ATTR_GPIB_PRIMARY_ADDR            (0x3FFF0172UL)
#define VI_ATTR_GPIB_SECONDARY_ADDR          (0x3FFF0173UL)
#define VI_ATTR_RSRC_MANF_NAME               (0xBFFF0174UL)
#define VI_ATTR_RSRC_MANF_ID                 (0x3FFF0175UL)
#define VI_ATTR_INTF_NUM                     (0x3FFF0176UL)
#define VI_ATTR_TRIG_ID                      (0x3FFF0177UL)
#define VI_ATTR_GPIB_REN_STATE               (0x3FFF0181UL)
#define VI_ATTR_GPIB_UNADDR_EN               (0x3FFF0184UL)
#define VI_ATTR_DEV_STATUS_BYTE              (0x3FFF0189UL)
#define VI_ATTR_FILE_APPEND_EN               (0x3FFF0192UL)
#define VI_ATTR_TCPIP_ADDR                   (0xBFFF0195UL)
#define VI_ATTR_TCPIP_HOSTNAME               (0xBFFF0196UL)
#define VI_ATTR_TCPIP_PORT                   (0x3FFF0197UL)
#define VI_ATTR_TCPIP_DEVICE_NAME            (0xBFFF0199UL)
#define VI_ATTR_TCPIP_NODELAY                (0x3FFF019AUL)
#define VI_ATTR_TCPIP_KEEPALIVE              (0x3FFF019BUL)
#define VI_ATTR_4882_COMPLIANT               (0x3FFF019FUL)
#define VI_ATTR_USB_SERIAL_NUM               (0xBFFF01A0UL)
#define VI_ATTR_USB_INTFC_NUM                (0x3FFF01A1UL)
#define VI_ATTR_USB_PROTOCOL                 (0x3FFF01A7UL)
#define VI_ATTR_USB_MAX_INTR_SIZE            (0x3FFF01AFUL)
#define VI_ATTR_ASRL_CONNECTED               (0x3FFF01BBUL)
#define VI_ATTR_ASRL_BREAK_STATE             (0x3FFF01BCUL)
#define VI_ATTR_ASRL_BREAK_LEN               (0x3FFF01BDUL)
#define VI_ATTR_ASRL_ALLOW_TRANSMIT          (0x3FFF01BEUL)
#define VI_ATTR_TCPIP_HISLIP_OVERLAP_EN      (0x3FFF0300UL)
#define VI_ATTR_TCPIP_HISLIP_VERSION         (0x3FFF0301UL)
#define VI_ATTR_TCPIP_HISLIP_MAX_MESSAGE_KB  (0x3FFF0302UL)
#define VI_ATTR_TCPIP_IS_HISLIP              (0x3FFF0303UL)
#define VI_ATTR_EVENT_TYPE                   (0x3FFF4010UL)
#define VI_ATTR_STATUS                       (0x3FFF4025UL)
#define VI_ATTR_JOB_ID                       (0x3FFF4006UL)
#define VI_ATTR_RET_COUNT_32                 (0x3FFF4026UL)
#define VI_ATTR_RET_COUNT_64                 (0x3FFF4028UL)
#define VI_ATTR_BUFFER                       (0x3FFF4027UL)
#define VI_ATTR_OPER_NAME                    (0xBFFF4042UL)
#ifdef _VISA_ENV_IS_64_BIT
#define VI_ATTR_USER_DATA                    VI_ATTR_USER_DATA_64
#define VI_ATTR_RET_COUNT                    VI_ATTR_RET_COUNT_64
#else
#define VI_ATTR_USER_DATA                    VI_ATTR_USER_DATA_32
#define VI_ATTR_RET_COUNT                    VI_ATTR_RET_COUNT_32
#endif

/* ---- Event types and mechanisms ---- */
#define VI_EVENT_IO_COMPLETION (0x3FFF2009UL)
#define VI_EVENT_TRIG          (0xBFFF200AUL)
#define VI_EVENT_SERVICE_REQ   (0x3FFF200BUL)
#define VI_EVENT_CLEAR         (0x3FFF200DUL)
#define VI_EVENT_EXCEPTION     (0xBFFF200EUL)
#define VI_ALL_ENABLED_EVENTS  (0x3FFF7FFFUL)
#define VI_QUEUE               (1)
#define VI_HNDLR               (2)
#define VI_SUSPEND_HNDLR       (4)
#define VI_ALL_MECH            (0xFFFF)
#define VI_ANY_HNDLR           (0)

/* ---- Other constants ---- */
#define VI_TMO_IMMEDIATE       (0L)
#define VI_TMO_INFINITE        (0xFFFFFFFFUL)

#define VI_NO_LOCK             (0)
#define VI_EXCLUSIVE_LOCK      (1)
#define VI_SHARED_LOCK         (2)
#define VI_LOAD_CONFIG         (4)

#define VI_INTF_GPIB           (1)
#define VI_INTF_VXI            (2)
#define VI_INTF_GPIB_VXI       (3)
#define VI_INTF_ASRL           (4)
#define VI_INTF_PXI            (5)
#define VI_INTF_TCPIP          (6)
#define VI_INTF_USB            (7)
#define VI_INTF_RIO            (8)
#define VI_INTF_FIREWIRE       (9)

#define VI_PROT_NORMAL         (1)
#define VI_PROT_FDC            (2)
#define VI_PROT_HS488          (3)
#define VI_PROT_4882_STRS      (4)
#define VI_PROT_USBTMC_VENDOR  (5)

#define VI_TRIG_PROT_DEFAULT   (0)
#define VI_TRIG_PROT_ON        (1)
#define VI_TRIG_PROT_OFF       (2)
#define VI_TRIG_PROT_SYNC      (5)
#define VI_TRIG_PROT_RESERVE   (6)
#define VI_TRIG_PROT_UNRESERVE (7)

#define VI_TRIG_SW             (-1)
#define VI_TRIG_ALL            (-2)
#define VI_TRIG_TTL0           (0)
#define VI_TRIG_TTL7           (7)
#define VI_TRIG_ECL0           (8)
#define VI_TRIG_ECL5           (13)

#define VI_GPIB_REN_DEASSERT           (0)
#define VI_GPIB_REN_ASSERT             (1)
#define VI_GPIB_REN_DEASSERT_GTL       (2)
#define VI_GPIB_REN_ASSERT_ADDRESS     (3)
#define VI_GPIB_REN_ASSERT_LLO         (4)
#define VI_GPIB_REN_ASSERT_ADDRESS_LLO (5)
#define VI_GPIB_REN_ADDRESS_GTL        (6)

#define VI_ASRL_PAR_NONE       (0)
#define VI_ASRL_PAR_ODD        (1)
#define VI_ASRL_PAR_EVEN       (2)
#define VI_ASRL_PAR_MARK       (3)
#define VI_ASRL_PAR_SPACE      (4)
#define VI_ASRL_STOP_ONE       (10)
#define VI_ASRL_STOP_ONE5      (15)
#define VI_ASRL_STOP_TWO       (20)
#define VI_ASRL_FLOW_NONE      (0)
#define VI_ASRL_FLOW_XON_XOFF  (1)
#define VI_ASRL_FLOW_RTS_CTS   (2)
#define VI_ASRL_FLOW_DTR_DSR   (4)
#define VI_ASRL_END_NONE       (0)
#define VI_ASRL_END_LAST_BIT   (1)
#define VI_ASRL_END_TERMCHAR   (2)
#define VI_ASRL_END_BREAK      (3)

#define VI_STATE_ASSERTED      (1)
#define VI_STATE_UNASSERTED    (0)
#define VI_STATE_UNKNOWN       (-1)

#define VI_NO_SEC_ADDR         (0xFFFF)

#define VI_READ_BUF            (1)
#define VI_WRITE_BUF           (2)
#define VI_READ_BUF_DISCARD    (4)
#define VI_WRITE_BUF_DISCARD   (8)
#define VI_IO_IN_BUF           (16)
#define VI_IO_OUT_BUF          (32)
#define VI_IO_IN_BUF_DISCARD   (64)
#define VI_IO_OUT_BUF_DISCARD  (128)
#define VI_FLUSH_ON_ACCESS     (1)
#define VI_FLUSH_WHEN_FULL     (2)
#define VI_FLUSH_DISABLE       (3)

#define VI_UNKNOWN_LA          (-1)
#define VI_UNKNOWN_SLOT        (-1)
#define VI_UNKNOWN_LEVEL       (-1)

/* ---- Resource manager ---- */

/** Opens a session to the default resource manager; every call returns a new RM session. */
VELQ_VISA_API ViStatus _VI_FUNC viOpenDefaultRM(ViPSession vi);
/** Finds resources matching @p expr; without discovery this yields VI_ERROR_RSRC_NFOUND. */
VELQ_VISA_API ViStatus _VI_FUNC viFindRsrc(ViSession sesn, ViConstString expr, ViPFindList vi,
                                           ViPUInt32 retCnt, ViChar desc[]);
/** Returns the next resource of a find list, VI_ERROR_RSRC_NFOUND once exhausted. */
VELQ_VISA_API ViStatus _VI_FUNC viFindNext(ViFindList vi, ViChar desc[]);
/** Parses a resource name without opening it. Output pointers may be VI_NULL. */
VELQ_VISA_API ViStatus _VI_FUNC viParseRsrc(ViSession rmSesn, ViConstRsrc rsrcName,
                                            ViPUInt16 intfType, ViPUInt16 intfNum);
/** Parses a resource name and returns its class and canonical form. Output pointers may be VI_NULL. */
VELQ_VISA_API ViStatus _VI_FUNC viParseRsrcEx(ViSession rmSesn, ViConstRsrc rsrcName,
                                              ViPUInt16 intfType, ViPUInt16 intfNum,
                                              ViChar rsrcClass[], ViChar expandedUnaliasedName[],
                                              ViChar aliasIfExists[]);
/**
 * Opens a session to a resource. @p openTimeout bounds the connection set-up in ms;
 * 0 selects the default of 2000 ms. On failure *vi is VI_NULL.
 */
VELQ_VISA_API ViStatus _VI_FUNC viOpen(ViSession sesn, ViConstRsrc name, ViAccessMode mode,
                                       ViUInt32 openTimeout, ViPSession vi);

/* ---- Resource template operations ---- */

/**
 * Closes a session, find list or resource manager (which closes everything opened through it).
 * Safe to call while another thread is blocked in an operation on the same session: that call
 * returns promptly with an error.
 */
VELQ_VISA_API ViStatus _VI_FUNC viClose(ViObject vi);
/** Sets an attribute; unknown attributes give VI_ERROR_NSUP_ATTR. */
VELQ_VISA_API ViStatus _VI_FUNC viSetAttribute(ViObject vi, ViAttr attrName, ViAttrState attrValue);
/** Reads an attribute into storage of its type (256 bytes for string attributes). */
VELQ_VISA_API ViStatus _VI_FUNC viGetAttribute(ViObject vi, ViAttr attrName, void _VI_PTR attrValue);
/**
 * Writes the description text of @p status (at most 255 characters) to @p desc. When @p status
 * is what the calling thread's previous call into the library returned and the library found
 * its cause, the text adds it: "... Cannot connect to 10.0.0.7 port 5025: Connection refused.",
 * "... Host name "scope7" not found.", "...: No route to host.", "...: Permission denied.".
 */
VELQ_VISA_API ViStatus _VI_FUNC viStatusDesc(ViObject vi, ViStatus status, ViChar desc[]);
/** Locks a resource (VI_ERROR_NSUP_OPER where the transport has no locking). */
VELQ_VISA_API ViStatus _VI_FUNC viLock(ViSession vi, ViAccessMode lockType, ViUInt32 timeout,
                                       ViConstKeyId requestedKey, ViChar accessKey[]);
/** Releases a lock obtained with viLock. */
VELQ_VISA_API ViStatus _VI_FUNC viUnlock(ViSession vi);
/** Accepted for compatibility; no events are generated yet. */
VELQ_VISA_API ViStatus _VI_FUNC viEnableEvent(ViSession vi, ViEventType eventType, ViUInt16 mechanism,
                                              ViEventFilter context);
/** Succeeds: no events are generated yet, so there is nothing to disable. */
VELQ_VISA_API ViStatus _VI_FUNC viDisableEvent(ViSession vi, ViEventType eventType, ViUInt16 mechanism);
/** Succeeds: no events are generated yet, so there is nothing to discard. */
VELQ_VISA_API ViStatus _VI_FUNC viDiscardEvents(ViSession vi, ViEventType eventType, ViUInt16 mechanism);

/* ---- Basic I/O ---- */

/**
 * Reads at most @p cnt bytes. Returns VI_SUCCESS (END), VI_SUCCESS_TERM_CHAR (termination
 * character, when VI_ATTR_TERMCHAR_EN is set), VI_SUCCESS_MAX_CNT (buffer full; the rest comes
 * with the next call) or an error; *retCnt always holds the bytes stored, also on time-out.
 */
VELQ_VISA_API ViStatus _VI_FUNC viRead(ViSession vi, ViPBuf buf, ViUInt32 cnt, ViPUInt32 retCnt);
/** Writes @p cnt bytes; *retCnt holds the bytes actually transferred, also on error. */
VELQ_VISA_API ViStatus _VI_FUNC viWrite(ViSession vi, ViConstBuf buf, ViUInt32 cnt, ViPUInt32 retCnt);
/** Device clear; also discards pending input held by the library. */
VELQ_VISA_API ViStatus _VI_FUNC viClear(ViSession vi);
/** Reads the status byte (VI_ERROR_NSUP_OPER where the transport cannot). */
VELQ_VISA_API ViStatus _VI_FUNC viReadSTB(ViSession vi, ViPUInt16 status);
/** Asserts a software trigger (VI_ERROR_NSUP_OPER where the transport cannot). */
VELQ_VISA_API ViStatus _VI_FUNC viAssertTrigger(ViSession vi, ViUInt16 protocol);
/** Controls the remote/local state (VI_ERROR_NSUP_OPER where the transport cannot). */
VELQ_VISA_API ViStatus _VI_FUNC viGpibControlREN(ViSession vi, ViUInt16 mode);

/* ---- Library-specific (not in the VISA standard) ---- */

/**
 * Writes the standard symbolic name of @p status ("VI_ERROR_TMO") to @p name, at most 255
 * characters. A code the library has no name for is written as its value, "0xBFFF1234", with
 * VI_WARN_UNKNOWN_STATUS. Answered by this library also while VELQ_VISA_LIBRARY hands the VISA
 * calls to another library, and it keeps the cause viStatusDesc adds.
 */
VELQ_VISA_API ViStatus _VI_FUNC velqStatusName(ViStatus status, ViChar name[]);

#ifdef __cplusplus
}
#endif

#endif
