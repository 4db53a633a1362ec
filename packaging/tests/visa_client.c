/* Built against an unpacked package with nothing but its pkg-config file:
   asks the instrument named on the command line for its identity. */
#include <visa.h>

#include <stdio.h>

int main(int argc, char** argv)
{
    ViSession rm = VI_NULL;
    ViSession vi = VI_NULL;
    ViUInt32 count = 0;
    unsigned char reply[256];
    int rc = 1;

    if (argc != 2)
        return 2;
    if (viOpenDefaultRM(&rm) < VI_SUCCESS)
        return 3;
    if (viOpen(rm, argv[1], VI_NULL, 5000, &vi) < VI_SUCCESS)
        goto done;
    viSetAttribute(vi, VI_ATTR_TMO_VALUE, 5000);
    if (viWrite(vi, (ViConstBuf)"*IDN?\n", 6, &count) < VI_SUCCESS)
        goto done;
    if (viRead(vi, reply, sizeof reply - 1, &count) < VI_SUCCESS)
        goto done;
    reply[count] = 0;
    printf("%s", (const char*)reply);
    rc = 0;
done:
    if (vi != VI_NULL)
        viClose(vi);
    viClose(rm);
    return rc;
}
