<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>sonaro::ui::AboutDialog</name>
    <message>
        <source>About Sonaro</source>
        <translation>关于 Sonaro</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>版本 %1</translation>
    </message>
    <message>
        <source>Control software for networked automatic microphone mixers.</source>
        <translation>网络自动混音器控制软件。</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
</context>
<context>
    <name>sonaro::ui::ChannelStrip</name>
    <message>
        <source>Double-click or F2 to rename</source>
        <translation>双击或按 F2 重命名</translation>
    </message>
    <message>
        <source>No live levels: the level stream describes unit 1 of the chain only.</source>
        <translation>无实时电平：电平数据流只描述级联中的第 1 台设备。</translation>
    </message>
</context>
<context>
    <name>sonaro::ui::ConnectionIndicator</name>
    <message>
        <source>OFFLINE</source>
        <translation>离线</translation>
    </message>
    <message>
        <source>SEARCHING</source>
        <translation>正在搜索</translation>
    </message>
    <message>
        <source>LOGGING IN</source>
        <translation>正在登录</translation>
    </message>
    <message>
        <source>CONNECTED</source>
        <translation>已连接</translation>
    </message>
    <message>
        <source>WAITING FOR UNIT</source>
        <translation>等待设备</translation>
    </message>
    <message>
        <source>RE-LOGGING</source>
        <translation>重新登录</translation>
    </message>
    <message>
        <source>CHANGING ADDRESS</source>
        <translation>正在更改地址</translation>
    </message>
    <message>
        <source>CHANGING ACCOUNT</source>
        <translation>正在更改账户</translation>
    </message>
    <message>
        <source>DISCONNECTING</source>
        <translation>正在断开</translation>
    </message>
    <message>
        <source>Connection to the unit: %1</source>
        <translation>与设备的连接: %1</translation>
    </message>
</context>
<context>
    <name>sonaro::Database</name>
    <message>
        <source>The SQLite driver (QSQLITE) is not available.</source>
        <translation>SQLite 驱动 (QSQLITE) 不可用。</translation>
    </message>
    <message>
        <source>The data directory %1 cannot be written. Sonaro runs on, but channel names, groups and settings are kept for this session only. Make the directory writable, or start Sonaro with --data-dir and a writable directory.</source>
        <translation>数据目录 %1 不可写入。Sonaro 继续运行，但通道名称、分组和设置只保留到本次运行结束。请使该目录可写，或用 --data-dir 指定一个可写的目录启动 Sonaro。</translation>
    </message>
    <message>
        <source>The database %1 cannot be opened: %2. Sonaro runs on without keeping channel names and groups. Check the file and its directory, or start Sonaro with --data-dir and another directory.</source>
        <translation>无法打开数据库 %1：%2。Sonaro 继续运行，但不保存通道名称和分组。请检查该文件及其目录，或用 --data-dir 指定另一个目录启动 Sonaro。</translation>
    </message>
    <message>
        <source>The database %1 cannot be read: %2.

Move it aside as %3 and start a new, empty database? Channel names and groups start afresh; the old file is kept.

No: Sonaro runs on without keeping channel names and groups until it is started again.</source>
        <translation>无法读取数据库 %1：%2。

将它改名为 %3 移到一旁，并新建一个空数据库吗？通道名称和分组将重新开始；旧文件会保留。

否：Sonaro 继续运行，但在重新启动前不保存通道名称和分组。</translation>
    </message>
    <message>
        <source>The damaged database %1 stays; nothing is stored this session.</source>
        <translation>损坏的数据库 %1 保持原样；本次运行不保存任何内容。</translation>
    </message>
    <message>
        <source>The database %1 could not be moved aside: %2. Sonaro runs on without keeping channel names and groups. Move or delete the file, then start Sonaro again.</source>
        <translation>数据库 %1 无法移到一旁：%2。Sonaro 继续运行，但不保存通道名称和分组。请移动或删除该文件，然后重新启动 Sonaro。</translation>
    </message>
    <message>
        <source>The damaged database was moved aside as %1; a new one was started.</source>
        <translation>损坏的数据库已改名为 %1；已新建数据库。</translation>
    </message>
    <message>
        <source>The database %1 cannot be opened: %2. Sonaro runs on without keeping channel names and groups.</source>
        <translation>无法打开数据库 %1：%2。Sonaro 继续运行，但不保存通道名称和分组。</translation>
    </message>
    <message>
        <source>the table %1 is missing</source>
        <translation>缺少数据表 %1</translation>
    </message>
    <message>
        <source>No database could be opened: %1</source>
        <translation>无法打开任何数据库：%1</translation>
    </message>
    <message>
        <source>The database %1 could not be read; this session starts with an empty one.</source>
        <translation>无法读取数据库 %1；本次运行使用空数据库。</translation>
    </message>
    <message>
        <source>it cannot be renamed</source>
        <translation>无法改名</translation>
    </message>
    <message>
        <source>The database %1 is not open.</source>
        <translation>数据库 %1 未打开。</translation>
    </message>
    <message>
        <source>The database %1 failed: %2</source>
        <translation>数据库 %1 出错：%2</translation>
    </message>
    <message>
        <source>No unit is connected: the factory settings replace only the local settings until they are sent to a unit. Restore Factory Settings?</source>
        <translation>未连接设备：出厂设置只替换本地设置，直到发送给设备为止。恢复出厂设置？</translation>
    </message>
</context>
<context>
    <name>sonaro::ui::EventLogDock</name>
    <message>
        <source>Event log</source>
        <translation>事件日志</translation>
    </message>
    <message>
        <source>EVENT LOG</source>
        <translation>事件日志</translation>
    </message>
    <message>
        <source>Show</source>
        <translation>显示</translation>
    </message>
    <message>
        <source>All kinds</source>
        <translation>全部类型</translation>
    </message>
    <message>
        <source>Save log…</source>
        <translation>保存日志…</translation>
    </message>
    <message>
        <source>Save log</source>
        <translation>保存日志</translation>
    </message>
    <message>
        <source>Log files (*.log *.txt);;All files (*)</source>
        <translation>日志文件 (*.log *.txt);;所有文件 (*)</translation>
    </message>
    <message>
        <source>The log could not be saved to %1: %2</source>
        <translation>无法将日志保存到 %1：%2</translation>
    </message>
    <message>
        <source>Saved to %1</source>
        <translation>已保存到 %1</translation>
    </message>
</context>
<context>
    <name>sonaro::ui::EventLogModel</name>
    <message>
        <source>Time</source>
        <translation>时间</translation>
    </message>
    <message>
        <source>Kind</source>
        <translation>类型</translation>
    </message>
    <message>
        <source>Event</source>
        <translation>事件</translation>
    </message>
</context>
<context>
    <name>sonaro::ui::FirstRunPanel</name>
    <message>
        <source>No unit connected</source>
        <translation>未连接设备</translation>
    </message>
    <message>
        <source>SEARCH...</source>
        <translation>搜索...</translation>
    </message>
    <message>
        <source>Unit address:</source>
        <translation>设备地址:</translation>
    </message>
    <message>
        <source>CONNECT</source>
        <translation>连接</translation>
    </message>
    <message>
        <source>WORK OFFLINE</source>
        <translation>离线工作</translation>
    </message>
    <message>
        <source>Working offline: no unit has been connected yet</source>
        <translation>离线工作：尚未连接过设备</translation>
    </message>
    <message>
        <source>The strips show the unit&apos;s factory settings until a unit is connected. Search the network for a unit, type its address, or work offline: names, groups, gains, EQ and presets can be prepared now and are offered to the unit when it is connected.</source>
        <translation>连接设备之前，通道条显示设备的出厂设置。搜索网络中的设备、输入设备地址，或离线工作：名称、分组、增益、均衡和预设现在即可准备，连接设备时会提交给设备。</translation>
    </message>
</context>
<context>
    <name>sonaro::ui::GroupDialog</name>
    <message>
        <source>Input %1</source>
        <translation>输入 %1</translation>
    </message>
    <message>
        <source>Output %1</source>
        <translation>输出 %1</translation>
    </message>
    <message>
        <source>GROUP</source>
        <translation>组设置</translation>
    </message>
    <message>
        <source>GROUP %1</source>
        <translatorcomment>the unit&apos;s own text</translatorcomment>
        <translation>GROUP %1</translation>
    </message>
    <message>
        <source>GAIN</source>
        <translatorcomment>the unit&apos;s own text</translatorcomment>
        <translation>GAIN</translation>
    </message>
    <message>
        <source>MUTE</source>
        <translatorcomment>the unit&apos;s own text</translatorcomment>
        <translation>MUTE</translation>
    </message>
    <message>
        <source>PRIORITY</source>
        <translatorcomment>the unit&apos;s own text</translatorcomment>
        <translation>PRIORITY</translation>
    </message>
    <message>
        <source>PHANTOM</source>
        <translatorcomment>the unit&apos;s own text</translatorcomment>
        <translation>PHANTOM</translation>
    </message>
    <message>
        <source>EQ</source>
        <translatorcomment>the unit&apos;s own text</translatorcomment>
        <translation>EQ</translation>
    </message>
    <message>
        <source>LIMITER</source>
        <translatorcomment>the unit&apos;s own text</translatorcomment>
        <translation>LIMITER</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>CANCEL</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>The faders of the group move together</source>
        <translation>组内推子一起移动</translation>
    </message>
    <message>
        <source>The group mutes together</source>
        <translation>组内一起哑音</translation>
    </message>
    <message>
        <source>The group&apos;s priority switches together</source>
        <translation>组内优先一起切换</translation>
    </message>
    <message>
        <source>The group&apos;s phantom power switches together</source>
        <translation>组内幻象电源一起切换</translation>
    </message>
    <message>
        <source>The EQ edits reach every channel of the group</source>
        <translation>均衡修改作用于组内每个通道</translation>
    </message>
    <message>
        <source>The limiter edits reach both outputs</source>
        <translation>输出限制修改作用于两个输出</translation>
    </message>
</context>
<context>
    <name>sonaro::ui::InputEqWindow</name>
    <message>
        <source>Edit EQ</source>
        <translation>编辑均衡</translation>
    </message>
    <message>
        <source>BYPASS</source>
        <translation>直通</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>RESET</source>
        <translation>重置</translation>
    </message>
    <message>
        <source>f (Hz)</source>
        <translation>频率(Hz)</translation>
    </message>
    <message>
        <source>GAIN (dB)</source>
        <translation>增益(dB)</translation>
    </message>
    <message>
        <source>Q</source>
        <translation>Q值</translation>
    </message>
    <message>
        <source>TYPE</source>
        <translation>类型</translation>
    </message>
    <message>
        <source>COPY FROM</source>
        <translation>拷贝从</translation>
    </message>
    <message>
        <source>COPY EQ</source>
        <translation>拷贝EQ</translation>
    </message>
    <message>
        <source>HPF</source>
        <translation>高通</translation>
    </message>
    <message>
        <source>LOWPASS</source>
        <translation>低通</translation>
    </message>
    <message>
        <source>Highpass</source>
        <translatorcomment>the unit&apos;s own text</translatorcomment>
        <translation>Highpass</translation>
    </message>
    <message>
        <source>Lowpass</source>
        <translatorcomment>the unit&apos;s own text</translatorcomment>
        <translation>Lowpass</translation>
    </message>
    <message>
        <source>HP(Hz)</source>
        <translatorcomment>the unit&apos;s own text</translatorcomment>
        <translation>HP(Hz)</translation>
    </message>
    <message>
        <source>LP(Hz)</source>
        <translatorcomment>the unit&apos;s own text</translatorcomment>
        <translation>LP(Hz)</translation>
    </message>
    <message>
        <source>FC(Hz)</source>
        <translatorcomment>the unit&apos;s own text</translatorcomment>
        <translation>FC(Hz)</translation>
    </message>
    <message>
        <source>Gain(dB)</source>
        <translatorcomment>the unit&apos;s own text</translatorcomment>
        <translation>Gain(dB)</translation>
    </message>
    <message>
        <source>Q Value</source>
        <translatorcomment>the unit&apos;s own text</translatorcomment>
        <translation>Q Value</translation>
    </message>
    <message>
        <source>Type</source>
        <translatorcomment>the unit&apos;s own text</translatorcomment>
        <translation>Type</translation>
    </message>
    <message>
        <source>SINGLE</source>
        <translatorcomment>the unit&apos;s own text</translatorcomment>
        <translation>SINGLE</translation>
    </message>
    <message>
        <source>GROUP  %1</source>
        <translatorcomment>the unit&apos;s own text</translatorcomment>
        <translation>GROUP  %1</translation>
    </message>
    <message>
        <source>%1, slider</source>
        <translation>%1（推子）</translation>
    </message>
    <message>
        <source>%1 cut-off</source>
        <translation>%1 截止频率</translation>
    </message>
    <message>
        <source>Input %1 EQ response</source>
        <translation>输入 %1 均衡响应</translation>
    </message>
    <message>
        <source>Input %1 EQ bypass</source>
        <translation>输入 %1 均衡直通</translation>
    </message>
    <message>
        <source>Channels</source>
        <translation>通道</translation>
    </message>
    <message>
        <source>Groups</source>
        <translation>分组</translation>
    </message>
    <message>
        <source>Channels in no group</source>
        <translation>未分组的通道</translation>
    </message>
    <message>
        <source>The channels of group %1</source>
        <translation>第 %1 组的通道</translation>
    </message>
</context>
<context>
    <name>sonaro::ui::InputStrip</name>
    <message>
        <source>PHANTOM</source>
        <translatorcomment>the unit&apos;s own text</translatorcomment>
        <translation>PHANTOM</translation>
    </message>
    <message>
        <source>PRIORITY</source>
        <translation>优先</translation>
    </message>
    <message>
        <source>MUTE</source>
        <translation>哑音</translation>
    </message>
    <message>
        <source>48 V phantom power</source>
        <translation>48V 幻象电源</translation>
    </message>
    <message>
        <source>Microphone or line source</source>
        <translation>话筒或线路输入</translation>
    </message>
    <message>
        <source>ACTIVE</source>
        <translation>话筒打开</translation>
    </message>
    <message>
        <source>WAITING</source>
        <translation>话筒关闭</translation>
    </message>
    <message>
        <source>MIC</source>
        <translation>咪输入</translation>
    </message>
    <message>
        <source>LINE</source>
        <translation>线输入</translation>
    </message>
    <message>
        <source>Input %1, %2</source>
        <translation>输入 %1，%2</translation>
    </message>
    <message>
        <source>Input %1 level</source>
        <translation>输入 %1 电平</translation>
    </message>
    <message>
        <source>Input %1 EQ: Enter opens the editor</source>
        <translation>输入 %1 均衡：按回车打开编辑器</translation>
    </message>
    <message>
        <source>Input %1: %2</source>
        <translation>输入 %1：%2</translation>
    </message>
    <message>
        <source>NO LIVE LEVELS</source>
        <translation>无实时电平</translation>
    </message>
</context>
<context>
    <name>sonaro::ui::IpAddressEdit</name>
    <message>
        <source>Address, part %1 of 4</source>
        <translation>地址第 %1 段（共 4 段）</translation>
    </message>
</context>
<context>
    <name>sonaro::ui::LimiterWindow</name>
    <message>
        <source>LIMITER</source>
        <translation>输出限制</translation>
    </message>
    <message>
        <source>DRC</source>
        <translation>输出限制</translation>
    </message>
    <message>
        <source>RESET</source>
        <translation>重置</translation>
    </message>
    <message>
        <source>THRESHOLD</source>
        <translation>启动门限:</translation>
    </message>
    <message>
        <source>ATTACK</source>
        <translation>启动时间:</translation>
    </message>
    <message>
        <source>RELEASE</source>
        <translation>释放时间:</translation>
    </message>
    <message>
        <source>RATIO</source>
        <translation>压缩比例:</translation>
    </message>
    <message>
        <source>%1, list</source>
        <translation>%1（列表）</translation>
    </message>
    <message>
        <source>Output %1 limiter curve</source>
        <translation>输出 %1 限制曲线</translation>
    </message>
</context>
<context>
    <name>sonaro::ui::LoginDialog</name>
    <message>
        <source>Login</source>
        <translation>登录</translation>
    </message>
    <message>
        <source>USER NAME</source>
        <translation>用户名</translation>
    </message>
    <message>
        <source>USER PSW</source>
        <translation>密码</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
</context>
<context>
    <name>sonaro::ui::MainView</name>
    <message>
        <source>&quot;%1&quot; is not an address: type four numbers from 0 to 255 with dots between, such as 192.168.1.100.</source>
        <translation>“%1” 不是地址：请输入四个 0 到 255 之间的数字，以点分隔，例如 192.168.1.100。</translation>
    </message>
    <message>
        <source>Offline</source>
        <translation>离线</translation>
    </message>
    <message>
        <source>OPEN FILE</source>
        <translation>打开文件</translation>
    </message>
    <message>
        <source>ini Files (*.ini);;All files (*)</source>
        <translation>ini 文件 (*.ini);;所有文件 (*)</translation>
    </message>
    <message>
        <source>SAVE FILE</source>
        <translation>保存文件</translation>
    </message>
    <message>
        <source>CHANNELS</source>
        <translation>通道</translation>
    </message>
    <message>
        <source>EQ</source>
        <translation>均衡</translation>
    </message>
    <message>
        <source>MATRIX</source>
        <translation>矩阵</translation>
    </message>
    <message>
        <source>SYSTEM</source>
        <translation>系统</translation>
    </message>
    <message>
        <source>MENU</source>
        <translation>菜单</translation>
    </message>
    <message>
        <source>CONNECT</source>
        <translation>连接</translation>
    </message>
    <message>
        <source>DISCONNECT</source>
        <translation>断开</translation>
    </message>
    <message>
        <source>GROUP</source>
        <translation>组设置</translation>
    </message>
    <message>
        <source>EXIT(&amp;X)</source>
        <translation>退出(&amp;X)</translation>
    </message>
    <message>
        <source>INPUTS</source>
        <translatorcomment>the unit&apos;s own text</translatorcomment>
        <translation>INPUTS</translation>
    </message>
    <message>
        <source>OUTPUTS</source>
        <translatorcomment>the unit&apos;s own text</translatorcomment>
        <translation>OUTPUTS</translation>
    </message>
    <message>
        <source>CHANNEL OPEN</source>
        <translatorcomment>the unit&apos;s own text</translatorcomment>
        <translation>CHANNEL OPEN</translation>
    </message>
    <message>
        <source>CHANNEL CLOSED</source>
        <translatorcomment>the unit&apos;s own text</translatorcomment>
        <translation>CHANNEL CLOSED</translation>
    </message>
    <message>
        <source>SYSTEM</source>
        <comment>menu</comment>
        <translation>系统设置</translation>
    </message>
    <message>
        <source>administrator</source>
        <translation>管理员</translation>
    </message>
    <message>
        <source>user</source>
        <translation>用户</translation>
    </message>
    <message>
        <source>Logged in as %1 (%2)</source>
        <translation>已登录：%1（%2）</translation>
    </message>
    <message>
        <source>Last login: %1 (%2)</source>
        <translation>上次登录：%1（%2）</translation>
    </message>
    <message>
        <source>Not logged in</source>
        <translation>未登录</translation>
    </message>
    <message>
        <source>Only the administrator may open this page: log in with the administrator&apos;s account (CONNECT).</source>
        <translation>只有管理员可以打开此页：请用管理员账户登录（连接）。</translation>
    </message>
    <message>
        <source>Sonaro is connected to %1 as %2.

Disconnect and connect again?</source>
        <translation>Sonaro 已以 %2 连接到 %1。

断开并重新连接？</translation>
    </message>
    <message>
        <source>Rename channel...</source>
        <translation>重命名通道...</translation>
    </message>
    <message>
        <source>Channel EQ...</source>
        <translation>通道均衡...</translation>
    </message>
    <message>
        <source>Output limiter...</source>
        <translation>输出限制...</translation>
    </message>
    <message>
        <source>Routing matrix</source>
        <translation>路由矩阵</translation>
    </message>
    <message>
        <source>Channel strips</source>
        <translation>通道条</translation>
    </message>
    <message>
        <source>Connection to the unit</source>
        <translation>与设备的连接</translation>
    </message>
    <message>
        <source>Strips in no group</source>
        <translation>未分组的通道条</translation>
    </message>
    <message>
        <source>The strips of group %1</source>
        <translation>第 %1 组的通道条</translation>
    </message>
    <message>
        <source>Unit %1</source>
        <translation>设备 %1</translation>
    </message>
    <message>
        <source>Unit %1 · %2</source>
        <translation>设备 %1 · %2</translation>
    </message>
    <message>
        <source>Name of unit %1</source>
        <translation>设备 %1 的名称</translation>
    </message>
    <message>
        <source>The name of unit %1 could not be stored.</source>
        <translation>无法保存设备 %1 的名称。</translation>
    </message>
    <message>
        <source>Rename unit...</source>
        <translation>重命名设备...</translation>
    </message>
    <message>
        <source>&amp;UNIT</source>
        <translation>设备(&amp;U)</translation>
    </message>
    <message>
        <source>Unit of the chain</source>
        <translation>级联中的设备</translation>
    </message>
    <message>
        <source>The units chained behind this address; the pages and editors show the one chosen. Levels and open lamps come from unit 1 only.</source>
        <translation>此地址后级联的设备；各页面和编辑器显示所选设备。电平和开启指示只来自第 1 台设备。</translation>
    </message>
</context>
<context>
    <name>sonaro::ui::MainWindow</name>
    <message>
        <source>MAIN</source>
        <translation>系统</translation>
    </message>
    <message>
        <source>TOOLS</source>
        <translation>工具</translation>
    </message>
    <message>
        <source>EDIT</source>
        <translation>编辑</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>撤销</translation>
    </message>
    <message>
        <source>Redo</source>
        <translation>重做</translation>
    </message>
    <message>
        <source>Switch to Chinese (中文)</source>
        <translation>切换到英文 (English)</translation>
    </message>
    <message>
        <source>HELP (&amp;H)</source>
        <translation>帮助(&amp;H)</translation>
    </message>
    <message>
        <source>ABOUT Sonaro(&amp;A)...</source>
        <translation>关于 Sonaro(&amp;A)...</translation>
    </message>
</context>
<context>
    <name>sonaro::ui::MessageLine</name>
    <message>
        <source>Messages</source>
        <translation>消息</translation>
    </message>
    <message>
        <source>Message</source>
        <translation>消息内容</translation>
    </message>
    <message>
        <source>Close the message</source>
        <translation>关闭消息</translation>
    </message>
</context>
<context>
    <name>sonaro::ui::NameDialog</name>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
</context>
<context>
    <name>sonaro::ui::OutputEqWindow</name>
    <message>
        <source>Edit EQ</source>
        <translation>编辑均衡</translation>
    </message>
    <message>
        <source>Edit </source>
        <translatorcomment>the unit&apos;s own text</translatorcomment>
        <translation>Edit </translation>
    </message>
    <message>
        <source>BYPASS</source>
        <translation>直通</translation>
    </message>
    <message>
        <source>RESET</source>
        <translation>重置</translation>
    </message>
    <message>
        <source>f (Hz)</source>
        <translation>频率(Hz)</translation>
    </message>
    <message>
        <source>GAIN (dB)</source>
        <translation>增益(dB)</translation>
    </message>
    <message>
        <source>FC(Hz)</source>
        <translatorcomment>the unit&apos;s own text</translatorcomment>
        <translation>FC(Hz)</translation>
    </message>
    <message>
        <source>Gain(dB)</source>
        <translatorcomment>the unit&apos;s own text</translatorcomment>
        <translation>Gain(dB)</translation>
    </message>
    <message>
        <source>Q_Value</source>
        <translatorcomment>the unit&apos;s own text</translatorcomment>
        <translation>Q_Value</translation>
    </message>
    <message>
        <source>Output %1 EQ response</source>
        <translation>输出 %1 均衡响应</translation>
    </message>
    <message>
        <source>Output %1 EQ bypass</source>
        <translation>输出 %1 均衡直通</translation>
    </message>
</context>
<context>
    <name>sonaro::ui::OutputStrip</name>
    <message>
        <source>MUTE</source>
        <translation>哑音</translation>
    </message>
    <message>
        <source>LIMITER</source>
        <translation>输出限制</translation>
    </message>
    <message>
        <source>MASTER EQ</source>
        <translation>均衡器</translation>
    </message>
    <message>
        <source>MIC</source>
        <translation>咪输出</translation>
    </message>
    <message>
        <source>LINE</source>
        <translation>线输出</translation>
    </message>
    <message>
        <source>Output %1, %2</source>
        <translation>输出 %1，%2</translation>
    </message>
    <message>
        <source>Output %1 level</source>
        <translation>输出 %1 电平</translation>
    </message>
    <message>
        <source>Output %1 EQ: Enter opens the editor</source>
        <translation>输出 %1 均衡：按回车打开编辑器</translation>
    </message>
    <message>
        <source>Output %1 limiter...</source>
        <translation>输出 %1 限制...</translation>
    </message>
    <message>
        <source>Output %1 EQ...</source>
        <translation>输出 %1 均衡...</translation>
    </message>
</context>
<context>
    <name>sonaro::ui::SearchDialog</name>
    <message>
        <source>SEARCH</source>
        <translation>搜索</translation>
    </message>
    <message>
        <source>DEVICE IP</source>
        <translation>设备地址</translation>
    </message>
    <message>
        <source>PORT</source>
        <translation>端口</translation>
    </message>
    <message>
        <source>USERNAME1</source>
        <translation>用户名1</translation>
    </message>
    <message>
        <source>USERNAME2</source>
        <translation>用户名2</translation>
    </message>
    <message>
        <source>IPAddr</source>
        <translation>IP地址</translation>
    </message>
    <message>
        <source>OPEN</source>
        <translation>打开</translation>
    </message>
    <message>
        <source>OFFLINE</source>
        <translation>离线</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>NETWORK</source>
        <translation>网络</translation>
    </message>
    <message>
        <source>(default route)</source>
        <translation>(默认路由)</translation>
    </message>
    <message>
        <source>Probes the hosts of %1.0/24.</source>
        <translation>探测 %1.0/24 网段的主机。</translation>
    </message>
    <message>
        <source>Type all four parts of the address, each 0 to 255.</source>
        <translation>请填写地址的全部四段，每段 0 到 255。</translation>
    </message>
    <message>
        <source>Units found</source>
        <translation>找到的设备</translation>
    </message>
</context>
<context>
    <name>sonaro::ui::SystemPage</name>
    <message>
        <source>LOCK</source>
        <translation>上锁</translation>
    </message>
    <message>
        <source>UNLOCK</source>
        <translation>解锁</translation>
    </message>
    <message>
        <source>MASTER</source>
        <translation>主机</translation>
    </message>
    <message>
        <source>SLAVE</source>
        <translation>从机</translation>
    </message>
    <message>
        <source>MANUAL</source>
        <translation>手动</translation>
    </message>
    <message>
        <source>AUTO</source>
        <translation>自动</translation>
    </message>
    <message>
        <source>SYSTEM SETTING</source>
        <translation>系统设置</translation>
    </message>
    <message>
        <source>UNIT</source>
        <translation>设备</translation>
    </message>
    <message>
        <source>PANEL LOCK</source>
        <translation>主机面板锁</translation>
    </message>
    <message>
        <source>DEVICE MODE</source>
        <translation>主机状态</translation>
    </message>
    <message>
        <source>AUTOMIX</source>
        <translation>自动混音</translation>
    </message>
    <message>
        <source>MODE</source>
        <translation>模式</translation>
    </message>
    <message>
        <source>THRESHOLD</source>
        <translation>门限</translation>
    </message>
    <message>
        <source>HOLD TIME</source>
        <translation>保持时间</translation>
    </message>
    <message>
        <source>MAX. OPEN CH</source>
        <translation>最大话筒数</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>NETWORK</source>
        <translation>网络</translation>
    </message>
    <message>
        <source>DEVICE IP</source>
        <translation>设备地址</translation>
    </message>
    <message>
        <source>FACTORY SETTINGS</source>
        <translation>工厂设置</translation>
    </message>
    <message>
        <source>Every setting of the unit returns to its factory value.</source>
        <translation>设备的所有设置恢复为出厂值。</translation>
    </message>
    <message>
        <source>RESTORE</source>
        <translation>恢复设置</translation>
    </message>
    <message>
        <source>CHANGE USER</source>
        <translation>修改用户</translation>
    </message>
    <message>
        <source>ACCOUNT</source>
        <translation>账户</translation>
    </message>
    <message>
        <source>USER</source>
        <translation>新用户名</translation>
    </message>
    <message>
        <source>OLD PSW</source>
        <translation>旧密码</translation>
    </message>
    <message>
        <source>NEW PSW</source>
        <translation>新密码</translation>
    </message>
    <message>
        <source>CONFIRM PSW</source>
        <translation>确认密码</translation>
    </message>
    <message>
        <source>Type all four parts of the address, each 0 to 255.</source>
        <translation>请填写地址的全部四段，每段 0 到 255。</translation>
    </message>
    <message>
        <source>Change the unit&apos;s address from %1 to %2?

The unit will move to %2 at once and the connection will drop. The program follows it: connect again to reach the unit at its new address.</source>
        <translation>将设备地址从 %1 改为 %2？

设备将立即移到 %2，连接会断开。程序会跟随设备：请重新连接，在新地址上访问设备。</translation>
    </message>
    <message>
        <source>OK: %1</source>
        <translation>确定：%1</translation>
    </message>
    <message>
        <source>OK: change the unit&apos;s address</source>
        <translation>确定：更改设备地址</translation>
    </message>
</context>
<context>
    <name>sonaro::ui::ThemedMessageBox</name>
    <message>
        <source>Yes</source>
        <translation>是</translation>
    </message>
    <message>
        <source>No</source>
        <translation>否</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
</context>
<context>
    <name>sonaro::ui::ValueControl</name>
    <message>
        <source>Not a value.</source>
        <translation>不是数值。</translation>
    </message>
    <message>
        <source>%1 is already set: nothing changed.</source>
        <translation>已经是 %1：未作更改。</translation>
    </message>
    <message>
        <source>a number, such as 0.7</source>
        <translation>一个数字，例如 0.7</translation>
    </message>
    <message>
        <source>a level in dB, such as -6 or -6dB</source>
        <translation>以 dB 为单位的电平，例如 -6 或 -6dB</translation>
    </message>
    <message>
        <source>a frequency in Hz, such as 250, 1k or 2.5k</source>
        <translation>以 Hz 为单位的频率，例如 250、1k 或 2.5k</translation>
    </message>
    <message>
        <source>a time in ms, such as 10 or 10ms</source>
        <translation>以 ms 为单位的时间，例如 10 或 10ms</translation>
    </message>
    <message>
        <source>a ratio, such as 4, 4:1 or inf</source>
        <translation>一个比例，例如 4、4:1 或 inf</translation>
    </message>
    <message>
        <source>a percentage, such as 50</source>
        <translation>一个百分比，例如 50</translation>
    </message>
    <message>
        <source>a level in dBu, such as -10</source>
        <translation>以 dBu 为单位的电平，例如 -10</translation>
    </message>
    <message>
        <source>, or OFF</source>
        <translation>，或 OFF</translation>
    </message>
    <message>
        <source>Nothing typed: type %1.</source>
        <translation>未输入内容：请输入%1。</translation>
    </message>
    <message>
        <source>"%1" is not a value here: type %2.</source>
        <translation>“%1”在此不是有效值：请输入%2。</translation>
    </message>
    <message>
        <source>%1 is outside %2 … %3: %4 is set.</source>
        <translation>%1 超出 %2 … %3 的范围：已设为 %4。</translation>
    </message>
    <message>
        <source>%1 is rounded to %2.</source>
        <translation>%1 已取整为 %2。</translation>
    </message>
</context>
<context>
    <name>sonaro::ControlSurface</name>
    <message>
        <source>You do not have permission.</source>
        <translatorcomment>the unit&apos;s own text</translatorcomment>
        <translation>You do not have permission.</translation>
    </message>
    <message>
        <source>Saved — will be sent when connected</source>
        <translation>已保存——连接后发送</translation>
    </message>
</context>
<context>
    <name>sonaro::DataDirectory</name>
    <message>
        <source>%1 is not a directory</source>
        <translation>%1 不是目录</translation>
    </message>
    <message>
        <source>%1 does not exist, nor does its parent %2</source>
        <translation>%1 不存在，其上级目录 %2 也不存在</translation>
    </message>
    <message>
        <source>%1 cannot be made</source>
        <translation>无法创建 %1</translation>
    </message>
</context>
<context>
    <name>sonaro::DataDirectoryLock</name>
    <message>
        <source>Another Sonaro program is already using the data directory %1. Close it first, or start this one with --data-dir and another directory.</source>
        <translation>另一个 Sonaro 程序正在使用数据目录 %1。请先关闭它，或用 --data-dir 指定另一个目录启动本程序。</translation>
    </message>
    <message>
        <source>Another Sonaro program (process %1) is already using the data directory %2. Close it first, or start this one with --data-dir and another directory.</source>
        <translation>另一个 Sonaro 程序（进程 %1）正在使用数据目录 %2。请先关闭它，或用 --data-dir 指定另一个目录启动本程序。</translation>
    </message>
</context>
<context>
    <name>sonaro::Discovery</name>
    <message>
        <source>No network to search: no IPv4 interface is up.</source>
        <translation>没有可搜索的网络：没有已启用的 IPv4 网络接口。</translation>
    </message>
</context>
<context>
    <name>sonaro::EventLog</name>
    <message>
        <source>Connection</source>
        <translation>连接</translation>
    </message>
    <message>
        <source>Login</source>
        <translation>登录</translation>
    </message>
    <message>
        <source>Re-login</source>
        <translation>重新登录</translation>
    </message>
    <message>
        <source>Silence</source>
        <translation>设备无响应</translation>
    </message>
    <message>
        <source>Resend</source>
        <translation>重发</translation>
    </message>
    <message>
        <source>Not delivered</source>
        <translation>未送达</translation>
    </message>
    <message>
        <source>Refused action</source>
        <translation>拒绝的操作</translation>
    </message>
    <message>
        <source>Address change</source>
        <translation>地址更改</translation>
    </message>
    <message>
        <source>Account change</source>
        <translation>账户更改</translation>
    </message>
    <message>
        <source>Preset</source>
        <translation>预设文件</translation>
    </message>
    <message>
        <source>State file</source>
        <translation>状态文件</translation>
    </message>
    <message>
        <source>Storage error</source>
        <translation>存储错误</translation>
    </message>
    <message>
        <source>Message shown</source>
        <translation>显示的消息</translation>
    </message>
    <message>
        <source>Dropped frame</source>
        <translation>丢弃的数据帧</translation>
    </message>
    <message>
        <source>Not confirmed by the unit, sent again (%2): %1</source>
        <translation>设备未确认，已重发（第 %2 次）：%1</translation>
    </message>
    <message>
        <source>Not delivered: the unit never confirmed %1</source>
        <translation>未送达：设备始终未确认 %1</translation>
    </message>
    <message>
        <source>The event log cannot be written to %1: %2</source>
        <translation>无法写入事件日志 %1：%2</translation>
    </message>
    <message>
        <source>No answer to the login from %1</source>
        <translation>%1 未响应登录</translation>
    </message>
    <message>
        <source>Logged in again to %1 after the silence</source>
        <translation>无响应后已重新登录到 %1</translation>
    </message>
    <message>
        <source>Logged in to %1 as %2 (unit count %3)</source>
        <translation>已以 %2 登录到 %1（设备数 %3）</translation>
    </message>
    <message>
        <source>Login as %2 refused by %1</source>
        <translation>%1 拒绝了 %2 的登录</translation>
    </message>
    <message>
        <source>The unit reported its new address %1, port %2</source>
        <translation>设备报告了新地址 %1，端口 %2</translation>
    </message>
    <message>
        <source>Searching for units</source>
        <translation>正在搜索设备</translation>
    </message>
    <message>
        <source>Logging in to %1 as %2</source>
        <translation>正在以 %2 登录到 %1</translation>
    </message>
    <message>
        <source>The unit did not confirm the address change</source>
        <translation>设备未确认地址更改</translation>
    </message>
    <message>
        <source>The unit did not confirm the account change</source>
        <translation>设备未确认账户更改</translation>
    </message>
    <message>
        <source>Connected to %1</source>
        <translation>已连接到 %1</translation>
    </message>
    <message>
        <source>No status from %1 for %2 ms; logging in again</source>
        <translation>%1 已 %2 毫秒无状态，正在重新登录</translation>
    </message>
    <message>
        <source>Disconnecting from %1</source>
        <translation>正在断开 %1</translation>
    </message>
    <message>
        <source>The unit confirmed the account change; log in again</source>
        <translation>设备已确认账户更改，请重新登录</translation>
    </message>
    <message>
        <source>Offline</source>
        <translation>离线</translation>
    </message>
    <message>
        <source>Dropped (%1): %2</source>
        <translation>已丢弃（%1）：%2</translation>
    </message>
    <message>
        <source>%1 more frames dropped</source>
        <translation>另有 %1 个数据帧被丢弃</translation>
    </message>
    <message>
        <source>Address change sent: unit %1 to %2</source>
        <translation>已发送地址更改：设备 %1 改为 %2</translation>
    </message>
    <message>
        <source>Account change sent: unit %1, account %2</source>
        <translation>已发送账户更改：设备 %1，账户 %2</translation>
    </message>
    <message>
        <source>Settings read from %1</source>
        <translation>已从 %1 读取设置</translation>
    </message>
    <message>
        <source>Settings written to %1</source>
        <translation>已将设置写入 %1</translation>
    </message>
    <message>
        <source>Changed at the unit</source>
        <translation>在设备上更改</translation>
    </message>
    <message>
        <source>Refused: only the administrator may change %1</source>
        <translation>已拒绝：只有管理员可以更改%1</translation>
    </message>
    <message>
        <source>Refused: only the administrator may change %1 (logged in as %2)</source>
        <translation>已拒绝：只有管理员可以更改%1（当前登录：%2）</translation>
    </message>
    <message>
        <source>Changed at the unit: %1</source>
        <translation>在设备上更改：%1</translation>
    </message>
    <message>
        <source>Unit %1 does not report its state; it is no longer asked</source>
        <translation>设备 %1 不报告其状态，不再询问</translation>
    </message>
    <message>
        <source>%1 still streams after the disconnect: the stream-off went again</source>
        <translation>断开后 %1 仍在发送状态流：已再次发送停止命令</translation>
    </message>
    <message>
        <source>Connecting to %1</source>
        <translation>正在连接 %1</translation>
    </message>
    <message>
        <source>Disconnecting</source>
        <translation>正在断开</translation>
    </message>
    <message>
        <source>the factory restore</source>
        <translation>恢复出厂设置</translation>
    </message>
    <message>
        <source>offline.ini names nothing this version knows: %1</source>
        <translation>offline.ini 中没有本版本认识的设置：%1</translation>
    </message>
    <message>
        <source>Settings changed offline wait for the next login: %1</source>
        <translation>离线更改的设置等待下次登录：%1</translation>
    </message>
    <message>
        <source>the matrix</source>
        <translation>矩阵页</translation>
    </message>
    <message>
        <source>the system page</source>
        <translation>系统页</translation>
    </message>
</context>
<context>
    <name>sonaro::FileActions</name>
    <message>
        <source>Restore Successfully.</source>
        <translation>恢复出厂设置成功.</translation>
    </message>
    <message>
        <source>No unit is connected: the factory settings replace only the local settings until they are sent to a unit. Restore Factory Settings?</source>
        <translation>未连接设备：出厂设置只替换本地设置，直到发送给设备为止。恢复出厂设置？</translation>
    </message>
    <message>
        <source>routing</source>
        <translation>路由</translation>
    </message>
    <message>
        <source>maximum open channels</source>
        <translation>最大话筒数</translation>
    </message>
    <message>
        <source>hold time</source>
        <translation>保持时间</translation>
    </message>
    <message>
        <source>automix mode</source>
        <translation>自动混音模式</translation>
    </message>
    <message>
        <source>threshold</source>
        <translation>门限</translation>
    </message>
    <message>
        <source>panel lock</source>
        <translation>主机面板锁</translation>
    </message>
    <message>
        <source>device mode</source>
        <translation>主机状态</translation>
    </message>
    <message>
        <source>Open successfully. Only the administrator may change these, so they keep the unit's values: %1.</source>
        <translation>打开成功。以下设置只有管理员可以更改，因此保持设备当前的值：%1。</translation>
    </message>
    <message>
        <source>, </source>
        <translation>、</translation>
    </message>
    <message>
        <source>%1 was not written: the data directory cannot be written.</source>
        <translation>未写入 %1：数据目录不可写入。</translation>
    </message>
</context>
<context>
    <name>sonaro::HostAddressRules</name>
    <message>
        <source>%1 is not a host address (0.x.x.x means &quot;this network&quot;).</source>
        <translation>%1 不是主机地址（0.x.x.x 表示“本网络”）。</translation>
    </message>
    <message>
        <source>%1 is a loopback address; the unit could not be reached there.</source>
        <translation>%1 是回环地址，设备在该地址上将无法访问。</translation>
    </message>
    <message>
        <source>%1 is a multicast address, not a host address.</source>
        <translation>%1 是组播地址，不是主机地址。</translation>
    </message>
    <message>
        <source>%1 is a reserved or broadcast address, not a host address.</source>
        <translation>%1 是保留地址或广播地址，不是主机地址。</translation>
    </message>
    <message>
        <source>%1 is the network address of its /24; choose a host from .1 to .254.</source>
        <translation>%1 是其 /24 网段的网络地址，请选择 .1 到 .254 之间的主机地址。</translation>
    </message>
    <message>
        <source>%1 is the broadcast address of its /24; choose a host from .1 to .254.</source>
        <translation>%1 是其 /24 网段的广播地址，请选择 .1 到 .254 之间的主机地址。</translation>
    </message>
</context>
<context>
    <name>sonaro::SavedFile</name>
    <message>
        <source>Save Fail: %1</source>
        <translation>保存失败: %1</translation>
    </message>
    <message>
        <source>only %1 of %2 bytes could be written</source>
        <translation>%2 字节中只写入了 %1 字节</translation>
    </message>
    <message>
        <source>%1 is not a regular file (a directory, a device, a pipe or a socket); it is left as it is</source>
        <translation>%1 不是普通文件（目录、设备、管道或套接字），保持原样不动</translation>
    </message>
    <message>
        <source>%1 is longer than %2 bytes</source>
        <translation>%1 超过 %2 字节</translation>
    </message>
</context>
<context>
    <name>sonaro::Settings</name>
    <message>
        <source>en</source>
        <translation>zh</translation>
    </message>
</context>
<context>
    <name>sonaro::ui::MessageBoxOperator</name>
    <message>
        <source>Settings changed while offline differ from the unit&apos;s:</source>
        <translation>离线时更改的设置与设备的设置不同：</translation>
    </message>
    <message>
        <source>and %1 more</source>
        <translation>另有 %1 项</translation>
    </message>
    <message>
        <source>Send your offline settings to the unit, or take the unit&apos;s settings?</source>
        <translation>将离线设置发送到设备，还是采用设备的设置？</translation>
    </message>
    <message>
        <source>Send my settings</source>
        <translation>发送我的设置</translation>
    </message>
    <message>
        <source>Take the unit&apos;s</source>
        <translation>采用设备的设置</translation>
    </message>
</context>
<context>
    <name>sonaro::ui::ValueFormat</name>
    <message>
        <source>a number, such as 0.7</source>
        <translation>一个数字，例如 0.7</translation>
    </message>
    <message>
        <source>a level in dB, such as -6 or -6dB</source>
        <translation>以 dB 为单位的电平，例如 -6 或 -6dB</translation>
    </message>
    <message>
        <source>a frequency in Hz, such as 250, 1k or 2.5k</source>
        <translation>以 Hz 为单位的频率，例如 250、1k 或 2.5k</translation>
    </message>
    <message>
        <source>a time in ms, such as 10 or 10ms</source>
        <translation>以 ms 为单位的时间，例如 10 或 10ms</translation>
    </message>
    <message>
        <source>a ratio, such as 4, 4:1 or inf</source>
        <translation>一个比例，例如 4、4:1 或 inf</translation>
    </message>
    <message>
        <source>a percentage, such as 50</source>
        <translation>一个百分比，例如 50</translation>
    </message>
    <message>
        <source>a level in dBu, such as -10</source>
        <translation>以 dBu 为单位的电平，例如 -10</translation>
    </message>
    <message>
        <source>, or OFF</source>
        <translation>，或 OFF</translation>
    </message>
    <message>
        <source>Nothing typed: type %1.</source>
        <translation>未输入内容：请输入%1。</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a value here: type %2.</source>
        <translation>“%1”在此不是有效值：请输入%2。</translation>
    </message>
    <message>
        <source>%1 is outside %2 … %3: %4 is set.</source>
        <translation>%1 超出 %2 … %3 的范围：已设为 %4。</translation>
    </message>
    <message>
        <source>%1 is rounded to %2.</source>
        <translation>%1 已取整为 %2。</translation>
    </message>
</context>
</TS>
