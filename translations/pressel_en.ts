<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>BatchTotals</name>
    <message>
        <source>· %1 个跳过</source>
        <translation>· %1 skipped</translation>
    </message>
    <message>
        <source>· %1 个失败</source>
        <translation>· %1 failed</translation>
    </message>
    <message>
        <source>%1 个已压缩过</source>
        <translation>%1 already done</translation>
    </message>
    <message numerus="yes">
        <source>已跳过 %1 个 Pressel 输出</source>
        <translation>
            <numerusform>Skipped %1 earlier Pressel output</numerusform>
            <numerusform>Skipped %1 earlier Pressel outputs</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 个文件</source>
        <translation>
            <numerusform>%1 file</numerusform>
            <numerusform>%1 files</numerusform>
        </translation>
    </message>
    <message>
        <source>· 节省 %1（%2）</source>
        <translation>· %1 saved (%2)</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>没有给出文件</source>
        <translation>no files given</translation>
    </message>
    <message>
        <source>用法：pressel [选项…] [--] [文件…]
打开 Pressel 的窗口并压缩这些文件（文件夹代表其中的图片）；
已有窗口在运行时，把文件交给它后退出。
  -h, --help      显示这段说明
  --version       显示版本
  --              选项到此为止：其后的每个参数都是文件
</source>
        <translation>Usage: pressel [option…] [--] [FILE…]
Opens Pressel&apos;s window and compresses these files (a folder stands for its images);
when a window already runs, hands the files to it and leaves.
  -h, --help      print this help
  --version       print the version
  --              end of options: every argument after it is a file
</translation>
    </message>
    <message>
        <source>应为 0 到 100 的整数</source>
        <translation>wants a whole number from 0 to 100</translation>
    </message>
    <message>
        <source>应为 MIN-MAX，各为 0 到 100 的整数，MIN 不大于 MAX</source>
        <translation>wants MIN-MAX, whole numbers from 0 to 100, MIN no more than MAX</translation>
    </message>
    <message>
        <source>应为 strip、camera 或 all</source>
        <translation>wants strip, camera or all</translation>
    </message>
    <message>
        <source>运行 pressel-cli --help 查看用法。</source>
        <translation>Run pressel-cli --help for usage.</translation>
    </message>
    <message>
        <source>应为不小于 1 的整数</source>
        <translation>wants a whole number of at least 1</translation>
    </message>
    <message>
        <source>已中断</source>
        <translation>interrupted</translation>
    </message>
    <message>
        <source>应为 keep、jpeg、webp 或 avif</source>
        <translation>wants keep, jpeg, webp or avif</translation>
    </message>
    <message>
        <source>保存位置（默认在原图旁边另存为新文件）：
  --output-dir DIR        输出保存到已有的文件夹 DIR，-r 给出的文件夹连同其子文件夹
                          一起保留；重名时同样编号为 name-N
  --replace               输出替换原图，原图移入回收站；与 --output-dir 不能同时使用
</source>
        <translation>Where outputs go (by default a new file beside the original):
  --output-dir DIR        save outputs in the existing folder DIR; a folder given with -r keeps
                          its subfolders there; names taken get name-N as usual
  --replace               outputs replace the originals, which go to the Trash; not with
                          --output-dir
</translation>
    </message>
    <message>
        <source>--output-dir 和 --replace 不能同时使用</source>
        <translation>--output-dir and --replace cannot be used together</translation>
    </message>
    <message>
        <source>应为已有的文件夹</source>
        <translation>wants an existing folder</translation>
    </message>
    <message>
        <source>用法：pressel-cli [--json] [-r] [-j N] [选项…] [--] 文件…
把这些文件作为一批按顺序压缩，每个文件输出一行结果；文本模式下，
这一批的合计是标准错误的最后一行。
  --json                  输出一个 JSON 数组，而不是每个文件一行
  -r, --recursive         文件夹代表其中和子文件夹中的图片（隐藏的除外），
                          按路径顺序；不加时文件夹是一行失败结果
  -j, --jobs N            最多同时压缩 N 个文件（默认每个核心一个；1 为逐个压缩）
  --format FORMAT         输出格式：keep（默认，与原图相同）、jpeg、webp 或 avif；
                          选定格式时，HEIC、HEIF、AVIF、WebP 和 TIFF 也会被转换
  --quality N             所选格式的质量，0 到 100（默认 JPEG 75、WebP 86、AVIF 73）
  --png-quality MIN-MAX   pngquant 的质量范围，各为 0 到 100（默认 60-80）
  --png-lossless          PNG 不经 pngquant，只做无损压缩
  --jpeg-lossless         JPEG 只做无损压缩（jpegtran）：像素不变，忽略 --quality
  --metadata POLICY       strip（默认）：不保留元数据；camera：保留日期、相机、
                          镜头、曝光、作者和版权，去除位置；all：除方向、尺寸、
                          缩略图和色彩配置文件外全部保留
  --keep-dates            输出文件沿用原文件的修改时间
  --max-size N            把最长边（按显示方向）大于 N 像素的图片缩小到 N，
                          从不放大（默认不缩小）
  --target-size KB        每个输出不超过 KB 千字节（1 kB = 1000 字节）：逐个文件
                          选用放得下的最高质量，不高于所设质量；无损压缩不受限
  -v, --verbose           在标准错误上写出日志（也可用 QT_LOGGING_RULES 选择）
  --                      选项到此为止：其后的每个参数都是文件
  --version               显示版本
</source>
        <translation>usage: pressel-cli [--json] [-r] [-j N] [OPTION...] [--] FILE...
Compresses the files as one batch, in order, and prints one row per file; in text
mode the batch&apos;s totals are the last line on standard error.
  --json                  print one JSON array instead of one line per row
  -r, --recursive         a folder stands for the image files in it and its
                          subfolders (hidden ones left out), in path order;
                          without it a folder is one failed row
  -j, --jobs N            compress up to N files at once (default: one per core;
                          1 compresses them one after another)
  --format FORMAT         the output format: keep (the default, each source&apos;s own),
                          jpeg, webp or avif; a chosen format also converts HEIC,
                          HEIF, AVIF, WebP and TIFF
  --quality N             the chosen format&apos;s quality, 0 to 100 (defaults: JPEG 75,
                          WebP 86, AVIF 73)
  --png-quality MIN-MAX   pngquant&apos;s quality range, each 0 to 100 (default 60-80)
  --png-lossless          PNG without pngquant: lossless re-encoding only
  --jpeg-lossless         lossless JPEG only (jpegtran): the pixels stay, --quality is ignored
  --metadata POLICY       strip (default): no metadata; camera: dates, camera, lens,
                          exposure, artist, copyright, no location; all: everything
                          but orientation, size, thumbnail and colour profile
  --keep-dates            give each output its source&apos;s modification time
  --max-size N            bring pictures whose longest side (as viewed) is over N
                          pixels down to N; never enlarges (default: no resizing)
  --target-size KB        each output at most KB kilobytes (1 kB = 1000 bytes): per
                          file, the highest quality that fits, never above the
                          quality set; lossless compression ignores it
  -v, --verbose           write the log on standard error (QT_LOGGING_RULES chooses too)
  --                      end of options: every argument after it is a file
  --version               print the version
</translation>
    </message>
    <message>
        <source>不读取窗口保存的设置。退出状态：没有失败的行时为 0，有失败的行时为 1，
用法错误时为 2。
</source>
        <translation>The saved settings of the window are not read. Exit status: 0 when no row failed,
1 when one did, 2 for a usage error.
</translation>
    </message>
    <message>
        <source>应为 1 到 1000000 的整数</source>
        <translation>wants a whole number from 1 to 1000000</translation>
    </message>
    <message>
        <source>无损</source>
        <translation>lossless</translation>
    </message>
    <message>
        <source>质量 %1</source>
        <translation>quality %1</translation>
    </message>
    <message>
        <source>自动（看起来一样）：
  --quality auto          逐个文件选用看起来仍与原图一样的最低质量（Butteraugli
                          距离），JPEG、WebP 和 AVIF 输出都适用；不能与
                          --target-size 同时使用
</source>
        <translation>Auto (looks the same):
  --quality auto          per file, the lowest quality that still looks the same as
                          the picture (Butteraugli distance), for JPEG, WebP and AVIF
                          outputs alike; not together with --target-size
</translation>
    </message>
    <message>
        <source>--quality auto 和 --target-size 不能同时使用</source>
        <translation>--quality auto and --target-size cannot be used together</translation>
    </message>
</context>
<context>
    <name>CompareView</name>
    <message>
        <source>返回</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>无法读取这张图片</source>
        <translation>Couldn&apos;t read this image</translation>
    </message>
    <message>
        <source>原图 · %1</source>
        <translation>Original · %1</translation>
    </message>
    <message>
        <source>压缩后 · %1 · %2</source>
        <translation>Compressed · %1 · %2</translation>
    </message>
    <message>
        <source>1 原图 · 2 对比 · 3 压缩后 · 拖动或方向键平移 · 滚轮或 +/- 缩放 · Ctrl+0 适合窗口 · Ctrl+1 100% · Esc 返回</source>
        <translation>1 Original · 2 Both · 3 Compressed · pan: drag, arrows · zoom: wheel, +/- · Ctrl+0 fit · Ctrl+1 100% · Esc back</translation>
    </message>
</context>
<context>
    <name>CompressionResultRow</name>
    <message>
        <source>跳过</source>
        <translation>Skipped</translation>
    </message>
    <message>
        <source>失败</source>
        <translation>Failed</translation>
    </message>
    <message>
        <source>对比原图</source>
        <translation>Compare with original</translation>
    </message>
    <message>
        <source>成功</source>
        <translation>Succeeded</translation>
    </message>
    <message>
        <source>，</source>
        <translation>, </translation>
    </message>
    <message>
        <source>无法打开文件管理器</source>
        <translation>Couldn&apos;t open the file manager</translation>
    </message>
    <message>
        <source>在文件管理器中显示</source>
        <translation>Show in file manager</translation>
    </message>
    <message>
        <source>已转换：%1</source>
        <translation>Converted: %1</translation>
    </message>
    <message>
        <source>无损</source>
        <translation>lossless</translation>
    </message>
    <message>
        <source>质量 %1</source>
        <translation>quality %1</translation>
    </message>
</context>
<context>
    <name>ContentView</name>
    <message>
        <source>正在压缩</source>
        <translation>Compressing</translation>
    </message>
    <message>
        <source>压缩结果</source>
        <translation>Results</translation>
    </message>
    <message>
        <source>你可以继续把图片拖到这里，新一批任务会直接替换当前结果。</source>
        <translation>Drop more images here to start a new batch in place of this one.</translation>
    </message>
    <message>
        <source>继续拖入图片会直接清空当前结果并开始新一轮压缩。</source>
        <translation>Dropping more images clears these results and starts a new batch.</translation>
    </message>
    <message>
        <source>输出文件保存在原图所在目录</source>
        <translation>Compressed files are saved next to the originals</translation>
    </message>
    <message>
        <source>清空</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>选择图片…</source>
        <translation>Choose images…</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>已停止：%1 个文件未处理</source>
        <translation>Stopped: %1 not processed</translation>
    </message>
    <message>
        <source>正在停止…</source>
        <translation>Stopping…</translation>
    </message>
    <message numerus="yes">
        <source>继续处理剩余 %1 个文件</source>
        <translation>
            <numerusform>Continue with the remaining %1 file</numerusform>
            <numerusform>Continue with the remaining %1 files</numerusform>
        </translation>
    </message>
    <message>
        <source>还有 %1 个文件在处理</source>
        <translation>Still to go: %1</translation>
    </message>
    <message>
        <source>输出文件保存在“%1”</source>
        <translation>Outputs are saved in “%1”</translation>
    </message>
    <message>
        <source>输出文件替换原图，原图移入回收站</source>
        <translation>Outputs replace their originals, which go to the Trash</translation>
    </message>
    <message>
        <source>选择文件夹…</source>
        <translation>Choose folders…</translation>
    </message>
</context>
<context>
    <name>DropZoneView</name>
    <message>
        <source>拖拽图片到这里</source>
        <translation>Drop images here</translation>
    </message>
    <message>
        <source>支持批量压缩，按原格式输出（当前支持 JPEG、PNG）</source>
        <translation>Compress many images at once; each keeps its format (JPEG or PNG)</translation>
    </message>
    <message>
        <source>输出文件会保存在原图所在目录</source>
        <translation>Compressed files are saved next to the originals</translation>
    </message>
    <message>
        <source>选择图片…</source>
        <translation>Choose images…</translation>
    </message>
    <message>
        <source>选择文件夹…</source>
        <translation>Choose folders…</translation>
    </message>
</context>
<context>
    <name>Failure</name>
    <message>
        <source>图片读取失败</source>
        <translation>Couldn&apos;t read the image</translation>
    </message>
    <message>
        <source>无法解码图片内容</source>
        <translation>Couldn&apos;t decode the image</translation>
    </message>
    <message>
        <source>导出器创建失败</source>
        <translation>Couldn&apos;t create the output file</translation>
    </message>
    <message>
        <source>文件写入失败</source>
        <translation>Couldn&apos;t write the file</translation>
    </message>
    <message>
        <source>无法读取输出文件大小</source>
        <translation>Couldn&apos;t read the size of the output file</translation>
    </message>
    <message>
        <source>压缩后体积未变小，已保留原图</source>
        <translation>Not smaller after compression; the original is kept</translation>
    </message>
    <message>
        <source>当前阶段暂不处理该格式：%1</source>
        <translation>This format isn&apos;t supported yet: %1</translation>
    </message>
    <message>
        <source>当前阶段暂不处理 HEIC / HEIF</source>
        <translation>HEIC and HEIF aren&apos;t supported yet</translation>
    </message>
    <message>
        <source>当前阶段暂不处理 TIFF</source>
        <translation>TIFF isn&apos;t supported yet</translation>
    </message>
    <message>
        <source>文件“%1”不存在。</source>
        <translation>The file “%1” doesn&apos;t exist.</translation>
    </message>
    <message>
        <source>无法创建文件夹“%1”。</source>
        <translation>Couldn&apos;t create the folder “%1”.</translation>
    </message>
    <message>
        <source>%1 启动失败：%2</source>
        <translation>%1 couldn&apos;t start: %2</translation>
    </message>
    <message>
        <source>%1 执行失败：%2</source>
        <translation>%1 failed: %2</translation>
    </message>
    <message>
        <source>未知错误</source>
        <translation>unknown error</translation>
    </message>
    <message>
        <source>未找到 mozjpeg 的 cjpeg，可继续回退到系统 JPEG 压缩</source>
        <translation>mozjpeg&apos;s cjpeg wasn&apos;t found; falling back to the built-in JPEG encoder</translation>
    </message>
    <message>
        <source>mozjpeg 输入预处理失败：%1</source>
        <translation>Couldn&apos;t prepare the image for mozjpeg: %1</translation>
    </message>
    <message>
        <source>mozjpeg 输入预处理失败：无法生成 PPM</source>
        <translation>Couldn&apos;t prepare the image for mozjpeg: no PPM could be made</translation>
    </message>
    <message>
        <source>未找到 pngquant，可继续回退到系统 PNG 压缩</source>
        <translation>pngquant wasn&apos;t found; falling back to the built-in PNG encoder</translation>
    </message>
    <message>
        <source>pngquant 不转换色彩配置文件：图片带有非 sRGB 的 ICC 配置文件</source>
        <translation>pngquant doesn&apos;t convert color profiles, and this image has a non-sRGB ICC profile</translation>
    </message>
    <message>
        <source>文件夹中没有可压缩的图片</source>
        <translation>No images to compress in this folder</translation>
    </message>
    <message>
        <source>文件夹中的图片超过 10000 张，只处理了前 10000 张</source>
        <translation>The folder holds more than 10,000 images; only the first 10,000 were compressed</translation>
    </message>
    <message>
        <source>原图在压缩期间被改动，未保存输出</source>
        <translation>The original changed while it was being compressed; no output was saved</translation>
    </message>
    <message>
        <source>图片已损坏（数据不完整）</source>
        <translation>The image is damaged (data missing)</translation>
    </message>
    <message>
        <source>文件是空的</source>
        <translation>The file is empty</translation>
    </message>
    <message>
        <source>这是一个文件夹：用 -r 压缩其中的图片，或在窗口中打开</source>
        <translation>This is a folder: use -r to compress the images in it, or open it in the window</translation>
    </message>
    <message>
        <source>无法写入文件夹“%1”</source>
        <translation>Can&apos;t write to the folder “%1”</translation>
    </message>
    <message>
        <source>这是 Pressel 之前的输出</source>
        <translation>An earlier Pressel output</translation>
    </message>
    <message>
        <source>已用相同设置压缩过</source>
        <translation>Already compressed with the same settings</translation>
    </message>
    <message>
        <source>无法编码为 %1</source>
        <translation>Couldn&apos;t encode as %1</translation>
    </message>
    <message>
        <source>这是动画图片，不做转换</source>
        <translation>An animated image is not converted</translation>
    </message>
    <message>
        <source>未找到 mozjpeg 的 jpegtran，无法做无损压缩</source>
        <translation>mozjpeg&apos;s jpegtran wasn&apos;t found; nothing can be compressed losslessly</translation>
    </message>
    <message>
        <source>回收站无法接收原图，原图未改动：%1</source>
        <translation>The Trash could not take the original, which was left as it was: %1</translation>
    </message>
    <message>
        <source>输出无法解码，原图未改动</source>
        <translation>The output does not decode; the original was left as it was</translation>
    </message>
    <message>
        <source>最低质量也超过目标大小 %1，未保存输出</source>
        <translation>Even the lowest quality is larger than the target size of %1; nothing was saved</translation>
    </message>
    <message>
        <source>原图是符号链接，不做替换；它指向的文件未改动</source>
        <translation>The original is a symbolic link, which is not replaced; the file it points to was left as it was</translation>
    </message>
</context>
<context>
    <name>ProcessingCard</name>
    <message>
        <source>正在处理这一批图片</source>
        <translation>Compressing this batch</translation>
    </message>
    <message>
        <source>压缩完成后会在这里显示结果。继续拖入新图片会立即替换当前批次。</source>
        <translation>Results appear here when it&apos;s done. Dropping new images replaces this batch.</translation>
    </message>
    <message>
        <source>后台处理中，界面保持可响应</source>
        <translation>Working in the background; the window stays responsive</translation>
    </message>
    <message>
        <source>已完成 %1 / %2</source>
        <translation>%1 of %2 done</translation>
    </message>
</context>
<context>
    <name>SettingsButton</name>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
</context>
<context>
    <name>SettingsPanel</name>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>JPEG 质量</source>
        <translation>JPEG quality</translation>
    </message>
    <message>
        <source>PNG 质量范围</source>
        <translation>PNG quality range</translation>
    </message>
    <message>
        <source>最低</source>
        <translation>Minimum</translation>
    </message>
    <message>
        <source>最高</source>
        <translation>Maximum</translation>
    </message>
    <message>
        <source>PNG 只做无损压缩</source>
        <translation>PNG: lossless only</translation>
    </message>
    <message>
        <source>元数据</source>
        <translation>Metadata</translation>
    </message>
    <message>
        <source>全部去除</source>
        <translation>Remove all</translation>
    </message>
    <message>
        <source>保留拍摄信息，去除位置</source>
        <translation>Keep camera details, remove location</translation>
    </message>
    <message>
        <source>全部保留</source>
        <translation>Keep all</translation>
    </message>
    <message>
        <source>保留原文件的修改时间</source>
        <translation>Keep the original&apos;s modification date</translation>
    </message>
    <message>
        <source>恢复默认设置</source>
        <translation>Restore defaults</translation>
    </message>
    <message>
        <source>完成时通知</source>
        <translation>Notify when finished</translation>
    </message>
    <message>
        <source>添加到 Thunar 右键菜单</source>
        <translation>Add to Thunar&apos;s context menu</translation>
    </message>
    <message>
        <source>已添加</source>
        <translation>Added</translation>
    </message>
    <message>
        <source>输出格式</source>
        <translation>Output format</translation>
    </message>
    <message>
        <source>与原图相同</source>
        <translation>Same as original</translation>
    </message>
    <message>
        <source>WebP 质量</source>
        <translation>WebP quality</translation>
    </message>
    <message>
        <source>AVIF 质量</source>
        <translation>AVIF quality</translation>
    </message>
    <message>
        <source>JPEG 只做无损</source>
        <translation>JPEG: lossless only</translation>
    </message>
    <message>
        <source>保存到</source>
        <translation>Save to</translation>
    </message>
    <message>
        <source>原图旁边</source>
        <translation>Next to the original</translation>
    </message>
    <message>
        <source>指定的文件夹</source>
        <translation>A folder of my choice</translation>
    </message>
    <message>
        <source>文件夹：%1</source>
        <translation>Folder: %1</translation>
    </message>
    <message>
        <source>选择…</source>
        <translation>Choose…</translation>
    </message>
    <message>
        <source>选择保存的文件夹</source>
        <translation>Choose the folder to save to</translation>
    </message>
    <message>
        <source>替换原图（原图移入回收站）</source>
        <translation>Replace originals (originals go to the Trash)</translation>
    </message>
    <message>
        <source>缩小到</source>
        <translation>Resize to</translation>
    </message>
    <message>
        <source>不缩小</source>
        <translation>Don&apos;t resize</translation>
    </message>
    <message>
        <source>最长边 %1 像素</source>
        <translation>Longest side %1 px</translation>
    </message>
    <message>
        <source>自定义</source>
        <translation>Custom</translation>
    </message>
    <message>
        <source>像素</source>
        <translation>pixels</translation>
    </message>
    <message>
        <source>目标大小</source>
        <translation>Target size</translation>
    </message>
    <message>
        <source>每个文件不超过</source>
        <translation>At most, per file</translation>
    </message>
    <message>
        <source>自动（看起来一样）</source>
        <translation>Auto (looks the same)</translation>
    </message>
</context>
<context>
    <name>Theme</name>
    <message>
        <source>Noto Sans CJK SC</source>
        <translation>Noto Sans CJK JP</translation>
    </message>
</context>
<context>
    <name>ThunarAction</name>
    <message>
        <source>使用 Pressel 压缩</source>
        <translation>Compress with Pressel</translation>
    </message>
</context>
<context>
    <name>pressel::BatchNotification</name>
    <message>
        <source>显示文件</source>
        <translation>Show files</translation>
    </message>
    <message numerus="yes">
        <source>已完成 %1 个文件</source>
        <translation>
            <numerusform>Finished %1 file</numerusform>
            <numerusform>Finished %1 files</numerusform>
        </translation>
    </message>
    <message>
        <source>· 节省 %1</source>
        <translation>· %1 saved</translation>
    </message>
</context>
<context>
    <name>pressel::OpenDialog</name>
    <message>
        <source>选择文件夹…</source>
        <translation>Choose folders…</translation>
    </message>
    <message>
        <source>选择图片…</source>
        <translation>Choose images…</translation>
    </message>
    <message>
        <source>图片</source>
        <translation>Images</translation>
    </message>
    <message>
        <source>所有文件</source>
        <translation>All files</translation>
    </message>
</context>
<context>
    <name>pressel::ThunarAction</name>
    <message>
        <source>%1 是符号链接，未作改动</source>
        <translation>%1 is a symbolic link; left unchanged</translation>
    </message>
    <message>
        <source>无法读取 %1：%2</source>
        <translation>Cannot read %1: %2</translation>
    </message>
    <message>
        <source>%1 不是 UTF-8 文本，未作改动</source>
        <translation>%1 is not UTF-8 text; left unchanged</translation>
    </message>
    <message>
        <source>%1 不是 Thunar 的自定义动作文件，未作改动</source>
        <translation>%1 is not Thunar&apos;s custom actions file; left unchanged</translation>
    </message>
    <message>
        <source>%1 不是有效的 XML，未作改动</source>
        <translation>%1 is not valid XML; left unchanged</translation>
    </message>
    <message>
        <source>无法创建文件夹 %1</source>
        <translation>Cannot create the folder %1</translation>
    </message>
    <message>
        <source>无法写入 %1：%2</source>
        <translation>Cannot write %1: %2</translation>
    </message>
</context>
</TS>
