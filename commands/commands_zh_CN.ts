<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>CCmdListDlg</name>
    <message>
        <location filename="CmdListDlg.ui"/>
        <source>Input</source>
        <translation>输入指令</translation>
    </message>
    <message>
        <location filename="CmdListDlg.ui"/>
        <source>Open File</source>
        <translation>打开</translation>
    </message>
    <message>
        <location filename="CmdListDlg.ui"/>
        <source>Save As...</source>
        <translation>另存为...</translation>
    </message>
    <message>
        <location filename="CmdListDlg.ui"/>
        <source>Parse</source>
        <translation>解析</translation>
    </message>
    <message>
        <location filename="CmdListDlg.ui"/>
        <source>Success: 0, Failed: 0</source>
        <translation>成功: 0, 失败: 0</translation>
    </message>
    <message>
        <location filename="CmdListDlg.ui"/>
        <source>Run All</source>
        <translation>全部运行</translation>
    </message>
    <message>
        <location filename="CmdListDlg.ui"/>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <location filename="CmdListDlg.ui"/>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <location filename="CmdListDlg.cpp"/>
        <source>No.</source>
        <translation>序号</translation>
    </message>
    <message>
        <location filename="CmdListDlg.cpp"/>
        <source>Command</source>
        <translation>指令</translation>
    </message>
    <message>
        <location filename="CmdListDlg.cpp"/>
        <source>Description</source>
        <translation>描述</translation>
    </message>
    <message>
        <location filename="CmdListDlg.cpp"/>
        <source>SCPI commands file(*.scmd);;All files(*)</source>
        <translation>SCPI 指令文件(*.scmd);;所有文件(*)</translation>
    </message>
</context>
</TS>
