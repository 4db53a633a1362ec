<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>CCountValNumPlugInDlg</name>
    <message>
        <source> Counter </source>
        <translation> 计数器 </translation>
    </message>
    <message>
        <source>The component is used to counter the number of the result values which
were seperated by commas</source>
        <translation>该组件用于计算返回的数据组数,默认分隔符为逗号 &apos;,&apos;用户可以设置该分隔符.</translation>
    </message>
    <message>
        <source>Mask Punctuation</source>
        <translation>分隔符</translation>
    </message>
    <message>
        <source>Calculate</source>
        <translation>计算</translation>
    </message>
    <message>
        <source>Ex&amp;it</source>
        <translation>退出</translation>
    </message>
</context>
</TS>
