<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
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
</context>
<context>
    <name>sonaro::ControlSurface</name>
    <message>
        <source>Saved — will be sent when connected</source>
        <translation>已保存——连接后发送</translation>
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
        <translation>Highpass</translation>
    </message>
    <message>
        <source>Lowpass</source>
        <translation>Lowpass</translation>
    </message>
    <message>
        <source>HP(Hz)</source>
        <translation>HP(Hz)</translation>
    </message>
    <message>
        <source>LP(Hz)</source>
        <translation>LP(Hz)</translation>
    </message>
    <message>
        <source>FC(Hz)</source>
        <translation>FC(Hz)</translation>
    </message>
    <message>
        <source>Gain(dB)</source>
        <translation>Gain(dB)</translation>
    </message>
    <message>
        <source>Q Value</source>
        <translation>Q Value</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>SINGLE</source>
        <translation>SINGLE</translation>
    </message>
    <message>
        <source>GROUP  %1</source>
        <translation>GROUP  %1</translation>
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
</context>
<context>
    <name>sonaro::ui::OutputEqWindow</name>
    <message>
        <source>Edit EQ</source>
        <translation>编辑均衡</translation>
    </message>
    <message>
        <source>Edit </source>
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
        <translation>FC(Hz)</translation>
    </message>
    <message>
        <source>Gain(dB)</source>
        <translation>Gain(dB)</translation>
    </message>
    <message>
        <source>Q_Value</source>
        <translation>Q_Value</translation>
    </message>
</context>
<context>
    <name>sonaro::ui::ChannelStrip</name>
    <message>
        <source>Double-click to rename</source>
        <translation>双击以重命名</translation>
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
        <translation>GROUP %1</translation>
    </message>
    <message>
        <source>GAIN</source>
        <translation>GAIN</translation>
    </message>
    <message>
        <source>MUTE</source>
        <translation>MUTE</translation>
    </message>
    <message>
        <source>PRIORITY</source>
        <translation>PRIORITY</translation>
    </message>
    <message>
        <source>PHANTOM</source>
        <translation>PHANTOM</translation>
    </message>
    <message>
        <source>EQ</source>
        <translation>EQ</translation>
    </message>
    <message>
        <source>LIMITER</source>
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
</context>
<context>
    <name>sonaro::ui::InputStrip</name>
    <message>
        <source>PHANTOM</source>
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
        <source>CONNECTION</source>
        <translation>CONNECTION</translation>
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
        <translation>INPUTS</translation>
    </message>
    <message>
        <source>OUTPUTS</source>
        <translation>OUTPUTS</translation>
    </message>
    <message>
        <source>CHANNEL OPEN</source>
        <translation>CHANNEL OPEN</translation>
    </message>
    <message>
        <source>CHANNEL CLOSED</source>
        <translation>CHANNEL CLOSED</translation>
    </message>
    <message>
        <source>SYSTEM</source>
        <comment>menu</comment>
        <translation>系统设置</translation>
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
</context>
<context>
    <name>sonaro::HostAddressRules</name>
    <message>
        <source>%1 is not a host address (0.x.x.x means "this network").</source>
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
</TS>
