<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>CHexDisplayDlg</name>
    <message>
        <location filename="HexDisplayDlg.ui" line="6"/>
        <source>Hexadecimal result display</source>
        <translation>十六进制显示</translation>
    </message>
    <message>
        <location filename="HexDisplayDlg.ui" line="10"/>
        <source> Counter </source>
        <translation> </translation>
    </message>
    <message>
        <location filename="HexDisplayDlg.ui" line="16"/>
        <source>Ignore Block Data Header</source>
        <translation>忽略数据头</translation>
    </message>
    <message>
        <location filename="HexDisplayDlg.ui" line="21"/>
        <source>Save As...</source>
        <translation>保存...</translation>
    </message>
    <message>
        <location filename="HexDisplayDlg.ui" line="29"/>
        <source>Ex&amp;it</source>
        <translation>退出</translation>
    </message>
    <message>
        <location filename="HexDisplayDlg.cpp" line="166"/>
        <source>An error occurred while writing %1.
%2</source>
        <translation>写入 %1 时出错。
%2</translation>
    </message>
</context>
</TS>
