<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>CVelquistDlg</name>
    <message>
        <location filename="VelquistDlg.ui" line="20"/>
        <source>Velquist</source>
        <translation>仪器程控 Velquist</translation>
    </message>
    <message>
        <location filename="VelquistDlg.ui" line="32"/>
        <source> Velquist </source>
        <translation> 仪器程控 </translation>
    </message>
    <message>
        <location filename="VelquistDlg.ui" line="45"/>
        <source>VISA Res</source>
        <translation>VISA名称</translation>
    </message>
    <message>
        <location filename="VelquistDlg.ui" line="119"/>
        <source>Time Out</source>
        <translation>超时</translation>
    </message>
    <message>
        <location filename="VelquistDlg.ui" line="145"/>
        <source>ms</source>
        <translation>ms</translation>
    </message>
    <message>
        <location filename="VelquistDlg.ui" line="158"/>
        <source>Connec&amp;t</source>
        <translation>连接</translation>
    </message>
    <message>
        <location filename="VelquistDlg.ui" line="177"/>
        <source>Stop</source>
        <translation>终止</translation>
    </message>
    <message>
        <location filename="VelquistDlg.ui" line="193"/>
        <source>Terminate with &quot;*OPC?&quot;</source>
        <translation>指令末尾添加 &quot;*OPC?&quot;</translation>
    </message>
    <message>
        <location filename="VelquistDlg.ui" line="206"/>
        <source>Terminate With &apos;\n&apos;</source>
        <translation>指令末尾添加 回车键&lt;CR&gt; 0x0D</translation>
    </message>
    <message>
        <location filename="VelquistDlg.ui" line="219"/>
        <source>Append &lt;LF&gt; 0x0A</source>
        <translation>指令末尾添加 换行符&lt;LF&gt; 0x0A</translation>
    </message>
    <message>
        <location filename="VelquistDlg.ui" line="232"/>
        <source>EOI</source>
        <translation>EOI</translation>
    </message>
    <message>
        <location filename="VelquistDlg.ui" line="245"/>
        <source>Command</source>
        <translation>输入指令</translation>
    </message>
    <message>
        <location filename="VelquistDlg.cpp" line="134"/>
        <source>Please enter an integer between %1 and %2.</source>
        <translation>请输入 %1 到 %2 之间的整数。</translation>
    </message>
</context>
</TS>
