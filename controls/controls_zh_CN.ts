<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>CHyperLink</name>
    <message>
        <location filename="HyperLink.cpp" line="272"/>
        <source>Unable to open hyperlink:

</source>
        <translation>无法打开超链接:

</translation>
    </message>
    <message>
        <location filename="HyperLink.cpp" line="293"/>
        <source>The operating system is out
of memory or resources.</source>
        <translation>操作系统内存
或资源不足。</translation>
    </message>
    <message>
        <location filename="HyperLink.cpp" line="295"/>
        <source>The specified file was not found.</source>
        <translation>找不到指定的文件。</translation>
    </message>
    <message>
        <location filename="HyperLink.cpp" line="297"/>
        <source>The specified path was not found.</source>
        <translation>找不到指定的路径。</translation>
    </message>
    <message>
        <location filename="HyperLink.cpp" line="299"/>
        <source>The operating system denied
access to the specified file.</source>
        <translation>操作系统拒绝
访问指定的文件。</translation>
    </message>
    <message>
        <location filename="HyperLink.cpp" line="301"/>
        <source>There was not enough memory to complete the operation.</source>
        <translation>内存不足, 无法完成该操作。</translation>
    </message>
    <message>
        <location filename="HyperLink.cpp" line="303"/>
        <source>The .EXE file is invalid
(non-Win32 .EXE or error in .EXE image).</source>
        <translation>.EXE 文件无效
(非 Win32 .EXE 或 .EXE 映像有错误)。</translation>
    </message>
    <message>
        <location filename="HyperLink.cpp" line="305"/>
        <source>A sharing violation occurred. </source>
        <translation>发生共享冲突。 </translation>
    </message>
    <message>
        <location filename="HyperLink.cpp" line="307"/>
        <source>The filename association is
incomplete or invalid.</source>
        <translation>文件名关联
不完整或无效。</translation>
    </message>
    <message>
        <location filename="HyperLink.cpp" line="309"/>
        <source>The DDE transaction could not
be completed because the request timed out.</source>
        <translation>DDE 事务请求超时,
无法完成。</translation>
    </message>
    <message>
        <location filename="HyperLink.cpp" line="311"/>
        <source>The DDE transaction failed.</source>
        <translation>DDE 事务失败。</translation>
    </message>
    <message>
        <location filename="HyperLink.cpp" line="313"/>
        <source>The DDE transaction could not
be completed because other DDE transactions
were being processed.</source>
        <translation>正在处理其他 DDE 事务,
无法完成
该 DDE 事务。</translation>
    </message>
    <message>
        <location filename="HyperLink.cpp" line="315"/>
        <source>There is no application associated
with the given filename extension.</source>
        <translation>没有与该文件扩展名
关联的应用程序。</translation>
    </message>
    <message>
        <location filename="HyperLink.cpp" line="317"/>
        <source>The specified dynamic-link library was not found.</source>
        <translation>找不到指定的动态链接库。</translation>
    </message>
    <message>
        <location filename="HyperLink.cpp" line="319"/>
        <source>Unknown Error (%1) occurred.</source>
        <translation>发生未知错误 (%1)。</translation>
    </message>
</context>
<context>
    <name>StringTable</name>
    <message>
        <location filename="StringTable.cpp" line="17"/>
        <source>Windows Socket Initialized Failed!</source>
        <translation>Windows 套接字初始化失败。</translation>
    </message>
    <message>
        <location filename="StringTable.cpp" line="18"/>
        <source>The application is connected to the instrument now, do you really want to exit?</source>
        <translation>程序处于控制仪器状态,可能有未读取的数据结果,确定退出?</translation>
    </message>
    <message>
        <location filename="StringTable.cpp" line="20"/>
        <source>There was a query in the process, do you really want to terminate it?</source>
        <translation>进程中存在数据读取操作, 确定取消该操作?</translation>
    </message>
    <message>
        <location filename="StringTable.cpp" line="22"/>
        <source>All: %d, Success: %d, Failed: %d</source>
        <translation>所有: %d, 成功: %d, 失败: %d</translation>
    </message>
    <message>
        <location filename="StringTable.cpp" line="23"/>
        <source>Failed to connect  the device!</source>
        <translation>控制仪器失败,请检查仪器及连接!</translation>
    </message>
    <message>
        <location filename="StringTable.cpp" line="24"/>
        <source>Are you sure to delete all the commands?</source>
        <translation>确定删除所有指令记录中的数据?</translation>
    </message>
    <message>
        <location filename="StringTable.cpp" line="25"/>
        <source>The text of the history is over limit, the memory buffer will be cleared.
Would you like to save the previous records?
&quot;Yes&quot; to Save, &quot;No&quot; to Clear without saving.</source>
        <translation>历史记录中信息超过缓存区容量,将会被删除.
&quot;Yes&quot; 保存信息, &quot;No&quot; 清空缓存区,不保存.</translation>
    </message>
    <message>
        <location filename="StringTable.cpp" line="29"/>
        <source>There are remote commands executing now, please try later!</source>
        <translation>正在执行指令,请稍后重试!</translation>
    </message>
    <message>
        <location filename="StringTable.cpp" line="30"/>
        <source>There is no connection now, please connect to the instrument at first!</source>
        <translation>无仪器连接,请先程控仪器!</translation>
    </message>
    <message>
        <location filename="StringTable.cpp" line="32"/>
        <source>There was no any remote commands in  the list, the operation will be abort!</source>
        <translation>无可以执行的指令序列,本次操作被取消!</translation>
    </message>
    <message>
        <location filename="StringTable.cpp" line="34"/>
        <source>Connec&amp;t</source>
        <translation>连接</translation>
    </message>
    <message>
        <location filename="StringTable.cpp" line="35"/>
        <source>Disonnec&amp;t</source>
        <translation>断开连接</translation>
    </message>
    <message>
        <location filename="StringTable.cpp" line="36"/>
        <source>VISA name was empty, please input the VISA resource name!</source>
        <translation>VISA 名称不能为空, 请输入 VISA 资源名称!</translation>
    </message>
    <message>
        <location filename="StringTable.cpp" line="37"/>
        <source>%d Ch</source>
        <translation>%d 字符</translation>
    </message>
    <message>
        <location filename="StringTable.cpp" line="38"/>
        <source>Command List</source>
        <translation>指令列表</translation>
    </message>
    <message>
        <location filename="StringTable.cpp" line="39"/>
        <source>Command Input</source>
        <translation>指令输入</translation>
    </message>
    <message>
        <location filename="StringTable.cpp" line="40"/>
        <source>Failed to load the help document, reinstalling the program may solve this problem!</source>
        <translation>加载帮助文件失败,重新安装程序可以解决这个问题!</translation>
    </message>
</context>
<context>
    <name>CFECFileDialog</name>
    <message>
        <location filename="FECFileDialog.cpp"/>
        <source>Browse for File</source>
        <translation>浏览文件</translation>
    </message>
    <message>
        <location filename="FECFileDialog.cpp"/>
        <source>Command Files(*.scmd)</source>
        <translation>指令文件(*.scmd)</translation>
    </message>
    <message>
        <location filename="FECFileDialog.cpp"/>
        <source>SCPI Files(*.scpi)</source>
        <translation>SCPI 文件(*.scpi)</translation>
    </message>
    <message>
        <location filename="FECFileDialog.cpp"/>
        <source>All Files (*)</source>
        <translation>所有文件 (*)</translation>
    </message>
    <message>
        <location filename="FECFileDialog.cpp"/>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <location filename="FECFileDialog.cpp"/>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <location filename="FECFileDialog.cpp"/>
        <source>Look in:</source>
        <translation>查找范围:</translation>
    </message>
    <message>
        <location filename="FECFileDialog.cpp"/>
        <source>File name:</source>
        <translation>文件名:</translation>
    </message>
    <message>
        <location filename="FECFileDialog.cpp"/>
        <source>Files of type:</source>
        <translation>文件类型:</translation>
    </message>
</context>
<context>
    <name>CNySysErrorDlg</name>
    <message>
        <source>Errors</source>
        <translation>错误</translation>
    </message>
    <message>
        <source> System Errors </source>
        <translation> 所有错误信息 </translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
</context>
</TS>
