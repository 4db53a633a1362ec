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
<context>
    <name>CMoreMenu</name>
    <message>
        <source>Cleare Command History</source>
        <translation>清空指令记录</translation>
    </message>
    <message>
        <source>Remove Current Command</source>
        <translation>删除当前指令</translation>
    </message>
    <message>
        <source>Command Import</source>
        <translation>导入指令</translation>
    </message>
    <message>
        <source>Command Export</source>
        <translation>导出指令</translation>
    </message>
    <message>
        <source>Write and Read</source>
        <translation>写入指令读取数据</translation>
    </message>
    <message>
        <source>File Operations</source>
        <translation>文件操作</translation>
    </message>
    <message>
        <source>Upload File...</source>
        <translation>仪器文件上传</translation>
    </message>
    <message>
        <source>Output Save As...</source>
        <translation>输出历史保存为...</translation>
    </message>
    <message>
        <source>Output Clear</source>
        <translation>清空输出历史</translation>
    </message>
    <message>
        <source>Languages</source>
        <translation>语言</translation>
    </message>
    <message>
        <source>Chinese</source>
        <translation>中文(简体)</translation>
    </message>
    <message>
        <source>Default Settings</source>
        <translation>默认设置</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>帮助</translation>
    </message>
    <message>
        <source>Text file(*.txt);;All files(*)</source>
        <translation>文本文件(*.txt);;所有文件(*)</translation>
    </message>
</context>
<context>
    <name>CFileUpload</name>
    <message>
        <source>All Files (*)</source>
        <translation>所有文件 (*)</translation>
    </message>
    <message>
        <source>The file is too large to upload: the message would reach 2 GiB.</source>
        <translation>文件过大, 无法上传: 消息将达到 2 GiB。</translation>
    </message>
</context>
<context>
    <name>CErrorQueueReadout</name>
    <message>
        <source>Stopped after %1 answers: the instrument&apos;s error queue never reported 0.</source>
        <translation>读取 %1 条应答后停止: 仪器的错误队列始终未报告 0。</translation>
    </message>
</context>
<context>
    <name>CFindInstrumentsDlg</name>
    <message>
        <location filename="FindInstrumentsDlg.cpp"/>
        <source>Find Instruments</source>
        <translation>查找仪器</translation>
    </message>
    <message>
        <location filename="FindInstrumentsDlg.cpp"/>
        <source>Expression:</source>
        <translation>表达式：</translation>
    </message>
    <message>
        <location filename="FindInstrumentsDlg.cpp"/>
        <source>Search</source>
        <translation>搜索</translation>
    </message>
    <message>
        <location filename="FindInstrumentsDlg.cpp"/>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <location filename="FindInstrumentsDlg.cpp"/>
        <source>Query *IDN?</source>
        <translation>查询 *IDN?</translation>
    </message>
    <message>
        <location filename="FindInstrumentsDlg.cpp"/>
        <source>Resource</source>
        <translation>资源名称</translation>
    </message>
    <message>
        <location filename="FindInstrumentsDlg.cpp"/>
        <source>Kind</source>
        <translation>类型</translation>
    </message>
    <message>
        <location filename="FindInstrumentsDlg.cpp"/>
        <source>Identity (*IDN?)</source>
        <translation>仪器标识 (*IDN?)</translation>
    </message>
    <message>
        <location filename="FindInstrumentsDlg.cpp"/>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <location filename="FindInstrumentsDlg.cpp"/>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <location filename="FindInstrumentsDlg.cpp"/>
        <source>Find Instruments...</source>
        <translation>查找仪器...</translation>
    </message>
    <message>
        <location filename="FindInstrumentsDlg.cpp"/>
        <source>Stopped.</source>
        <translation>已停止。</translation>
    </message>
    <message>
        <location filename="FindInstrumentsDlg.cpp"/>
        <source>Searching...</source>
        <translation>正在搜索...</translation>
    </message>
    <message>
        <location filename="FindInstrumentsDlg.cpp"/>
        <source>Resources found: %1</source>
        <translation>找到的资源：%1</translation>
    </message>
    <message>
        <location filename="FindInstrumentsDlg.cpp"/>
        <source>No resource found.</source>
        <translation>未找到资源。</translation>
    </message>
    <message>
        <location filename="FindInstrumentsDlg.cpp"/>
        <source>Invalid search expression.</source>
        <translation>搜索表达式无效。</translation>
    </message>
    <message>
        <location filename="FindInstrumentsDlg.cpp"/>
        <source>Search failed (status 0x%1).</source>
        <translation>搜索失败（状态 0x%1）。</translation>
    </message>
    <message>
        <location filename="FindInstrumentsDlg.cpp"/>
        <source>Querying %1...</source>
        <translation>正在查询 %1...</translation>
    </message>
    <message>
        <location filename="FindInstrumentsDlg.cpp"/>
        <source>(no answer)</source>
        <translation>（无应答）</translation>
    </message>
    <message>
        <location filename="FindInstrumentsDlg.cpp"/>
        <source>Stopping...</source>
        <translation>正在停止...</translation>
    </message>
    <message>
        <location filename="FindInstrumentsDlg.cpp"/>
        <source>VXI-11</source>
        <translation>VXI-11</translation>
    </message>
    <message>
        <location filename="FindInstrumentsDlg.cpp"/>
        <source>HiSLIP</source>
        <translation>HiSLIP</translation>
    </message>
    <message>
        <location filename="FindInstrumentsDlg.cpp"/>
        <source>Socket</source>
        <translation>套接字</translation>
    </message>
    <message>
        <location filename="FindInstrumentsDlg.cpp"/>
        <source>Serial</source>
        <translation>串口</translation>
    </message>
    <message>
        <location filename="FindInstrumentsDlg.cpp"/>
        <source>USB</source>
        <translation>USB</translation>
    </message>
    <message>
        <location filename="FindInstrumentsDlg.cpp"/>
        <source>GPIB</source>
        <translation>GPIB</translation>
    </message>
    <message>
        <location filename="FindInstrumentsDlg.cpp"/>
        <source>Other</source>
        <translation>其他</translation>
    </message>
</context>
</TS>
