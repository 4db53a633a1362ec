// The console's command line, as another program or a desktop file may pass it.
#include "CmdLineParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString line = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    CCmdLineParser parser(line);
    for (const char *name : {"VISA", "Timeout", "x"})
        parser.GetSwitchValue(QString::fromLatin1(name));
    // Splitting the line at blanks and joining the words again must not crash either.
    CCmdLineParser again(CCmdLineParser::JoinArguments(line.split(QLatin1Char(' '))));
    return 0;
}
