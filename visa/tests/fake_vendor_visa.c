/* Stands in for a vendor VISA library in the pass-through test: distinctive results show that a
   call reached it. viClear is deliberately missing. */
#include "visa.h"

#include <string.h>

VELQ_VISA_API ViStatus viOpenDefaultRM(ViPSession vi)
{
    *vi = 4242;
    return VI_SUCCESS;
}

VELQ_VISA_API ViStatus viOpen(ViSession sesn, ViConstRsrc name, ViAccessMode mode, ViUInt32 tmo, ViPSession vi)
{
    (void)mode;
    (void)tmo;
    if (sesn != 4242 || strcmp(name, "GPIB0::7::INSTR") != 0)
        return VI_ERROR_RSRC_NFOUND;
    *vi = 777;
    return VI_SUCCESS_DEV_NPRESENT;
}

VELQ_VISA_API ViStatus viRead(ViSession vi, ViPBuf buf, ViUInt32 cnt, ViPUInt32 retCnt)
{
    if (vi != 777 || cnt < 6)
        return VI_ERROR_INV_OBJECT;
    memcpy(buf, "VENDOR", 6);
    *retCnt = 6;
    return VI_SUCCESS;
}

VELQ_VISA_API ViStatus viClose(ViObject vi)
{
    return vi == 777 || vi == 4242 ? VI_SUCCESS : VI_ERROR_INV_OBJECT;
}
