<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>CWaveformDlg</name>
    <message>
        <source>Waveform and Screenshot Viewer</source>
        <translation>波形与截图查看器</translation>
    </message>
    <message>
        <source>Automatic</source>
        <translation>自动</translation>
    </message>
    <message>
        <source>Text numbers</source>
        <translation>文本数值</translation>
    </message>
    <message>
        <source>Image</source>
        <translation>图像</translation>
    </message>
    <message>
        <source>Little-endian (LSB first)</source>
        <translation>小端 (低字节在前)</translation>
    </message>
    <message>
        <source>Big-endian (MSB first)</source>
        <translation>大端 (高字节在前)</translation>
    </message>
    <message>
        <source>&amp;Format:</source>
        <translation>格式(&amp;F):</translation>
    </message>
    <message>
        <source>&amp;Byte order:</source>
        <translation>字节顺序(&amp;B):</translation>
    </message>
    <message>
        <source>&amp;Scale:</source>
        <translation>缩放(&amp;S):</translation>
    </message>
    <message>
        <source>y = (raw −</source>
        <translation>y = (原始值 −</translation>
    </message>
    <message>
        <source>x = index ×</source>
        <translation>x = 序号 ×</translation>
    </message>
    <message>
        <source>Drag: zoom to the area
Right or middle drag: pan
Wheel: zoom x, Ctrl+wheel: zoom y
Double click or Home: reset</source>
        <translation>拖动: 放大所选区域
右键或中键拖动: 平移
滚轮: 缩放 x, Ctrl+滚轮: 缩放 y
双击或 Home 键: 复位</translation>
    </message>
    <message>
        <source>&amp;Reset view</source>
        <translation>复位视图(&amp;R)</translation>
    </message>
    <message>
        <source>Export &amp;CSV...</source>
        <translation>导出 CSV(&amp;C)...</translation>
    </message>
    <message>
        <source>Save &amp;PNG...</source>
        <translation>保存 PNG(&amp;P)...</translation>
    </message>
    <message>
        <source>Ex&amp;it</source>
        <translation>退出(&amp;I)</translation>
    </message>
    <message>
        <source>There is not enough memory to keep an answer of %1 bytes.</source>
        <translation>内存不足, 无法保存 %1 字节的结果。</translation>
    </message>
    <message>
        <source>The scaling needs numbers, and neither the scale nor dx may be 0.</source>
        <translation>缩放参数必须是数值, 且比例和 dx 都不能为 0。</translation>
    </message>
    <message>
        <source>text numbers</source>
        <translation>文本数值</translation>
    </message>
    <message>
        <source>image</source>
        <translation>图像</translation>
    </message>
    <message>
        <source>%1, little-endian</source>
        <translation>%1, 小端</translation>
    </message>
    <message>
        <source>%1, big-endian</source>
        <translation>%1, 大端</translation>
    </message>
    <message>
        <source>The answer has %1 bytes; only the first %2 are kept and shown.</source>
        <translation>结果共 %1 字节, 只保存并显示前 %2 字节。</translation>
    </message>
    <message>
        <source>The block declares %1 bytes, but %2 of them never arrived; the samples received are shown.</source>
        <translation>数据块声明了 %1 字节, 但其中 %2 字节未收到; 显示已收到的采样点。</translation>
    </message>
    <message>
        <source>%1 bytes at the end make no whole sample and are left out.</source>
        <translation>末尾 %1 字节不足一个采样点, 已忽略。</translation>
    </message>
    <message>
        <source>%1 items are not numbers and are left out.</source>
        <translation>%1 项不是数值, 已忽略。</translation>
    </message>
    <message>
        <source>Only the first %1 numbers are kept; %2 more are left out.</source>
        <translation>只保存前 %1 个数值, 其余 %2 个已忽略。</translation>
    </message>
    <message>
        <source>%1 samples are NaN or infinite and are left out of the plot and the statistics.</source>
        <translation>%1 个采样点为 NaN 或无穷大, 未计入曲线和统计。</translation>
    </message>
    <message>
        <source>Detected: %1</source>
        <translation>检测结果: %1</translation>
    </message>
    <message>
        <source>Read as: %1</source>
        <translation>读取为: %1</translation>
    </message>
    <message>
        <source>No answer has been read from the instrument yet.</source>
        <translation>尚未从仪器读取任何结果。</translation>
    </message>
    <message>
        <source>The answer is empty.</source>
        <translation>结果为空。</translation>
    </message>
    <message>
        <source>The answer starts like a binary block (#), but its header is not valid.</source>
        <translation>结果以二进制数据块 (#) 开头, 但块头无效。</translation>
    </message>
    <message>
        <source>The answer is not a list of numbers (%1 items could not be read). If it holds binary samples, choose their format.</source>
        <translation>结果不是数值列表 (%1 项无法读取)。如果其中是二进制采样点, 请选择其格式。</translation>
    </message>
    <message>
        <source>The answer holds no whole sample in this format.</source>
        <translation>按此格式, 结果中没有完整的采样点。</translation>
    </message>
    <message>
        <source>, %1 samples</source>
        <translation>, %1 个采样点</translation>
    </message>
    <message>
        <source>The answer holds a %1 image that cannot be decoded: %2</source>
        <translation>结果中的 %1 图像无法解码: %2</translation>
    </message>
    <message>
        <source>%1 image, %2 × %3 pixels</source>
        <translation>%1 图像, %2 × %3 像素</translation>
    </message>
    <message>
        <source>Count: 0</source>
        <translation>数量: 0</translation>
    </message>
    <message>
        <source>Count: %1   Min: %2   Max: %3   Mean: %4   RMS: %5</source>
        <translation>数量: %1   最小值: %2   最大值: %3   平均值: %4   均方根: %5</translation>
    </message>
    <message>
        <source>x = %1   y = %2</source>
        <translation>x = %1   y = %2</translation>
    </message>
    <message>
        <source>Export the samples as CSV</source>
        <translation>将采样点导出为 CSV</translation>
    </message>
    <message>
        <source>CSV files (*.csv);;All files (*)</source>
        <translation>CSV 文件 (*.csv);;所有文件 (*)</translation>
    </message>
    <message>
        <source>Could not write %1: %2</source>
        <translation>无法写入 %1: %2</translation>
    </message>
    <message>
        <source>Save as PNG</source>
        <translation>保存为 PNG</translation>
    </message>
    <message>
        <source>PNG images (*.png);;All files (*)</source>
        <translation>PNG 图像 (*.png);;所有文件 (*)</translation>
    </message>
    <message>
        <source>Could not write %1.</source>
        <translation>无法写入 %1。</translation>
    </message>
    <message>
        <source>The answer is not a PNG, BMP, JPEG or GIF image.</source>
        <translation>结果不是 PNG、BMP、JPEG 或 GIF 图像。</translation>
    </message>
    <message>
        <source>sample %1: x = %2, y = %3</source>
        <translation>采样点 %1: x = %2, y = %3</translation>
    </message>
</context>
</TS>
