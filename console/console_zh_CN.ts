<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>CVelquistDlg</name>
    <message>
        <location filename="VelquistDlg.ui" line="+6"/>
        <source>Velquist</source>
        <translation>仪器程控 Velquist</translation>
    </message>
    <message>
        <location line="+4"/>
        <source> Velquist </source>
        <translation> 仪器程控 </translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Freq. Used</source>
        <translation> 常用指令 </translation>
    </message>
    <message>
        <location line="+5"/>
        <source> Output: Instrument session history </source>
        <translation> 仪器会话历史记录 </translation>
    </message>
    <message>
        <location line="+5"/>
        <source>VISA Res</source>
        <translation>VISA名称</translation>
    </message>
    <message>
        <location line="+50"/>
        <source>Time Out</source>
        <translation>超时</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>ms</source>
        <translation>ms</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Connec&amp;t</source>
        <translation>连接</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Stop</source>
        <translation>终止</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>More ...</source>
        <translation>更多 ...</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Terminate with &quot;*OPC?&quot;</source>
        <translation>指令末尾添加 &quot;*OPC?&quot;</translation>
    </message>
    <message>
        <location line="+72"/>
        <source>&amp;Write</source>
        <translation>写入</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>&amp;Read</source>
        <translation>读取</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Au&amp;tomatic</source>
        <translation>自动</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>Command List</source>
        <translation>指令列表</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Go To Local</source>
        <translation>本控</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Remote</source>
        <translation>程控</translation>
    </message>
    <message>
        <location line="+35"/>
        <source>Plugins</source>
        <translation>插件</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Clear</source>
        <translation>清空输出</translation>
    </message>
    <message>
        <location line="+19"/>
        <source>TARNOVE TECHNOLOGIES · Velquist help</source>
        <translation>TARNOVE TECHNOLOGIES · Velquist 帮助文档</translation>
    </message>
    <message>
        <location line="-164"/>
        <source>EOI</source>
        <translation>EOI</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Terminate with CR (0x0D)</source>
        <translation>指令末尾添加 回车键&lt;CR&gt; 0x0D</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Terminate with LF (0x0A)</source>
        <translation>指令末尾添加 换行符&lt;LF&gt; 0x0A</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Command</source>
        <translation>输入指令</translation>
    </message>
    <message>
        <location filename="VelquistDlg.cpp" line="+79"/>
        <source>Not available yet</source>
        <translation>暂不可用</translation>
    </message>
    <message>
        <location line="+185"/>
        <source>Please enter an integer between %1 and %2.</source>
        <translation>请输入 %1 到 %2 之间的整数。</translation>
    </message>
    <message>
        <location filename="VelquistDlgHistory.cpp" line="+91"/>
        <source>Text file(*.txt);;All files(*.*)</source>
        <translation>文本文件(*.txt);;所有文件(*.*)</translation>
    </message>
</context>
</TS>
