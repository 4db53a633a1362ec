/* A VISA library whose default resource manager can never be opened, standing in
 * for libvelqvisa.so.1 (through LD_LIBRARY_PATH) in velqlink_probe no-manager. */
#include <visa.h>

#include <string.h>

ViStatus viOpenDefaultRM(ViPSession vi)
{
    /* Garbage in the handle: VelqLink must not take it for an open manager. */
    *vi = 0x5A5A;
    return VI_ERROR_SYSTEM_ERROR;
}

ViStatus viOpen(ViSession sesn, ViConstRsrc name, ViAccessMode mode, ViUInt32 timeout, ViPSession vi)
{
    (void)name;
    (void)mode;
    (void)timeout;
    *vi = VI_NULL;
    return sesn == VI_NULL ? VI_ERROR_INV_OBJECT : VI_ERROR_RSRC_NFOUND;
}

ViStatus viClose(ViObject vi)
{
    return vi == VI_NULL ? VI_WARN_NULL_OBJECT : VI_ERROR_INV_OBJECT;
}

ViStatus viSetAttribute(ViObject vi, ViAttr attrName, ViAttrState attrValue)
{
    (void)vi;
    (void)attrName;
    (void)attrValue;
    return VI_ERROR_INV_OBJECT;
}

ViStatus viClear(ViSession vi)
{
    (void)vi;
    return VI_ERROR_INV_OBJECT;
}

ViStatus viWrite(ViSession vi, ViConstBuf buf, ViUInt32 cnt, ViPUInt32 retCnt)
{
    (void)vi;
    (void)buf;
    (void)cnt;
    *retCnt = 0;
    return VI_ERROR_INV_OBJECT;
}

ViStatus viRead(ViSession vi, ViPBuf buf, ViUInt32 cnt, ViPUInt32 retCnt)
{
    (void)vi;
    (void)buf;
    (void)cnt;
    *retCnt = 0;
    return VI_ERROR_INV_OBJECT;
}

ViStatus viStatusDesc(ViObject vi, ViStatus status, ViChar desc[])
{
    (void)vi;
    (void)status;
    strcpy(desc, "no VISA here");
    return VI_SUCCESS;
}
