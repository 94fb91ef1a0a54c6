<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>AboutDialog</name>
    <message>
        <source>AboutDialog.Title</source>
        <translation>关于</translation>
    </message>
    <message>
        <source>AboutDialog.Version:</source>
        <translation>版本：</translation>
    </message>
    <message>
        <source>AboutDialog.Copyright</source>
        <translation>Copyright © 2026 Orvane。保留所有权利。&lt;br&gt;&lt;a href=&quot;https://www.orvane.com&quot; style=&quot;color:#2563EB;text-decoration:none;&quot;&gt;www.orvane.com&lt;/a&gt;</translation>
    </message>
    <message>
        <source>This application is based on Qt, used under the GNU Lesser General Public License version 3.</source>
        <translation>本程序基于 Qt 开发，Qt 依据 GNU 宽通用公共许可证（LGPL）第 3 版使用。</translation>
    </message>
    <message>
        <source>About Qt</source>
        <translation>关于 Qt</translation>
    </message>
    <message>
        <source>AboutDialog.Ok</source>
        <translation>确定</translation>
    </message>
</context>
<context>
    <name>AccountItemWidget</name>
    <message>
        <source>Delete</source>
        <translation>删除</translation>
    </message>
</context>
<context>
    <name>AccountManager</name>
    <message>
        <source>, </source>
        <translation>，</translation>
    </message>
    <message>
        <source>, %1 attempts remaining</source>
        <translation>，还剩 %1 次尝试机会</translation>
    </message>
    <message>
        <source>Init SDK Error</source>
        <translation>上传组件初始化失败</translation>
    </message>
    <message>
        <source>The account is in use by another program: %1</source>
        <translation>该账号正被其他程序使用：%1</translation>
    </message>
</context>
<context>
    <name>AddCategoryDialog</name>
    <message>
        <source>AddCategoryDialog.Title</source>
        <translation>新建子分类</translation>
    </message>
    <message>
        <source>AddCategoryDialog.CateName:</source>
        <translation>分类名称：</translation>
    </message>
    <message>
        <source>AddCategoryDialog.InputEditorPlaceholder</source>
        <translation>请输入分类名称</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>AddCategoryDialog.AddCategoryFailed:</source>
        <translation>新建分类失败：</translation>
    </message>
    <message>
        <source>AddCategoryDialog.EmptyCateName</source>
        <translation>分类名称不能为空</translation>
    </message>
    <message>
        <source>AddCategoryDialog.CateNameMySQLIncompatible</source>
        <translation>分类名称含有不支持的字符</translation>
    </message>
    <message>
        <source>AddCategoryDialog.CateNameDuplicated</source>
        <translation>该分类下已有同名子分类</translation>
    </message>
    <message>
        <source>IsOperatingCategory</source>
        <translation>正在操作分类，请稍候</translation>
    </message>
    <message>
        <source>AddCategoryDialog.IsAddingCategory</source>
        <translation>正在新建分类，请稍候</translation>
    </message>
</context>
<context>
    <name>Application</name>
    <message>
        <source>OrvaneUploadClient</source>
        <translation>Orvane 上传客户端</translation>
    </message>
</context>
<context>
    <name>CategoryTreeModel</name>
    <message>
        <source>CategoryTreeModel.RenameCateNameEmpty</source>
        <translation>分类名称不能为空</translation>
    </message>
    <message>
        <source>CategoryTreeModel.RenameCateNameMySQLIncompatible</source>
        <translation>分类名称包含不支持的字符（如表情符号），请修改后重试</translation>
    </message>
    <message>
        <source>RenameCateNameEmpty</source>
        <translation>分类名称不能为空</translation>
    </message>
    <message>
        <source>RenameCateNameMySQLIncompatible</source>
        <translation>分类名称包含不支持的字符（如表情符号），请修改后重试</translation>
    </message>
</context>
<context>
    <name>CategoryTreeView</name>
    <message>
        <source>CategoryTreeView.AddSubCategory</source>
        <translation>新建子分类</translation>
    </message>
    <message>
        <source>CategoryTreeView.MoveCategory</source>
        <translation>移动分类</translation>
    </message>
    <message>
        <source>CategoryTreeView.RenameCategory</source>
        <translation>重命名</translation>
    </message>
</context>
<context>
    <name>CheckableHeaderView</name>
    <message>
        <source>AscSort</source>
        <translation>升序</translation>
    </message>
    <message>
        <source>DescSort</source>
        <translation>降序</translation>
    </message>
</context>
<context>
    <name>CopyCodeDialog</name>
    <message>
        <source>CopyCodeDialog.Title</source>
        <translation>嵌入代码</translation>
    </message>
    <message>
        <source>CopyCodeDialog.Copy</source>
        <translation>复制代码</translation>
    </message>
    <message>
        <source>CopyCodeDialog.Copied</source>
        <translation>代码已复制</translation>
    </message>
</context>
<context>
    <name>DeleteVideoFailedPromptDialog</name>
    <message>
        <source>DeleteVideoFailedPromptDialog.Title</source>
        <translation>部分视频删除失败</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Delete &lt;span style=&apos;color: #FF4646&apos;&gt;%1&lt;/span&gt; videos Failed</source>
        <translation>&lt;span style=&apos;color: #FF4646&apos;&gt;%1&lt;/span&gt; 个视频删除失败</translation>
    </message>
</context>
<context>
    <name>DesktopShell</name>
    <message>
        <source>The client keeps running in the tray; the uploads go on.</source>
        <translation>客户端将在系统托盘中继续运行，上传不会中断。</translation>
    </message>
    <message>
        <source>Show main window</source>
        <translation>显示主窗口</translation>
    </message>
    <message>
        <source>No uploads running</source>
        <translation>没有正在上传的文件</translation>
    </message>
    <message>
        <source>Uploading %1 files: %2% at %3</source>
        <translation>正在上传 %1 个文件：%2%，速度 %3</translation>
    </message>
</context>
<context>
    <name>HistoryTableWidget</name>
    <message>
        <source>Record.Title</source>
        <translation>标题</translation>
    </message>
    <message>
        <source>Record.FileSize</source>
        <translation>文件大小</translation>
    </message>
    <message>
        <source>Record.Time</source>
        <translation>完成时间</translation>
    </message>
    <message>
        <source>Record.Status</source>
        <translation>状态</translation>
    </message>
    <message>
        <source>Record.Opertation</source>
        <translation>操作</translation>
    </message>
</context>
<context>
    <name>LoginDialog</name>
    <message>
        <source>Login.Loading</source>
        <translation>正在加载，请稍候…</translation>
    </message>
    <message>
        <source>LoginDialog.Title</source>
        <translation>登录</translation>
    </message>
    <message>
        <source>Login.AccountPlaceHolderText</source>
        <translation>请输入邮箱账号</translation>
    </message>
    <message>
        <source>Login.PasswordPlaceHolderText</source>
        <translation>请输入密码</translation>
    </message>
    <message>
        <source>Login.RememberPassword</source>
        <translation>记住密码</translation>
    </message>
    <message>
        <source>Login.NetworkSettings</source>
        <translation>网络设置</translation>
    </message>
    <message>
        <source>Login.LoginButton</source>
        <translation>登 录</translation>
    </message>
    <message>
        <source>Login.WaitingText</source>
        <translation>请稍候…</translation>
    </message>
    <message>
        <source>Login.CancelButton</source>
        <translation>取 消</translation>
    </message>
    <message>
        <source>Minimum</source>
        <translation>最小化</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Login.ClearAllAccount</source>
        <translation>清除所有账号记录</translation>
    </message>
    <message>
        <source>LoginDialog.EmptyAccount</source>
        <translation>请输入账号</translation>
    </message>
    <message>
        <source>LoginDialog.EmptyPassword</source>
        <translation>请输入密码</translation>
    </message>
    <message>
        <source>LoginDialog.AccountIsNotEmail</source>
        <translation>账号格式不正确，请输入邮箱地址</translation>
    </message>
    <message>
        <source>Login.Logining</source>
        <translation>正在登录…</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>The file has not been uploaded successfully. Are you sure you want to exit?</source>
        <translation>还有文件未上传完成，确定要退出吗？</translation>
    </message>
    <message>
        <source>SystemTip</source>
        <translation>系统提示</translation>
    </message>
</context>
<context>
    <name>MainWindowTitleWidget</name>
    <message>
        <source>MainWindow.VideoList</source>
        <translation>视频库</translation>
    </message>
    <message>
        <source>MainWindow.TransferList</source>
        <translation>传输列表</translation>
    </message>
    <message>
        <source>account</source>
        <translation>账号</translation>
    </message>
    <message>
        <source>feedback</source>
        <translation>反馈</translation>
    </message>
    <message>
        <source>settings</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Expired Time:</source>
        <translation>到期时间：</translation>
    </message>
    <message>
        <source>Storage Space:</source>
        <translation>存储空间：</translation>
    </message>
    <message>
        <source>MainWindow.SwitchAccount</source>
        <translation>切换账号</translation>
    </message>
    <message>
        <source>MainWindow.Quit</source>
        <translation>退出</translation>
    </message>
    <message>
        <source>MainWindow.StartAll</source>
        <translation>全部开始</translation>
    </message>
    <message>
        <source>MainWindow.SuspendAll</source>
        <translation>全部暂停</translation>
    </message>
    <message>
        <source>MainWindow.Preferences</source>
        <translation>偏好设置</translation>
    </message>
    <message>
        <source>MainWindow.CheckForUpdates</source>
        <translation>检查更新</translation>
    </message>
    <message>
        <source>MainWindow.About</source>
        <translation>关于</translation>
    </message>
    <message>
        <source>MainWindow.Help</source>
        <translation>帮助</translation>
    </message>
    <message>
        <source>%1 (Expired)</source>
        <translation>%1（已过期）</translation>
    </message>
    <message>
        <source>%1 (Remaining &lt;span style=color:rgb(255,87,34);&gt;%2&lt;/span&gt; days)</source>
        <translation>%1（剩余 &lt;span style=color:rgb(255,87,34);&gt;%2&lt;/span&gt; 天）</translation>
    </message>
</context>
<context>
    <name>MsgBox</name>
    <message>
        <source>MsgBox.DefaultTitle</source>
        <translation>提示</translation>
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
        <source>Yes</source>
        <translation>是</translation>
    </message>
    <message>
        <source>No</source>
        <translation>否</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
</context>
<context>
    <name>NetSettingsDialog</name>
    <message>
        <source>NetSettingsDialog.NetSettings</source>
        <translation>网络设置</translation>
    </message>
    <message>
        <source>NetSettingsDialog.NoProxy</source>
        <translation>不使用代理</translation>
    </message>
    <message>
        <source>NetSettingsDialog.HttpProxy</source>
        <translation>HTTP 代理</translation>
    </message>
    <message>
        <source>NetSettingsDialog.Type:</source>
        <translation>代理类型：</translation>
    </message>
    <message>
        <source>NetSettingsDialog.Address:</source>
        <translation>地址：</translation>
    </message>
    <message>
        <source>NetSettingsDialog.Port:</source>
        <translation>端口：</translation>
    </message>
    <message>
        <source>NetSettingsDialog.Username:</source>
        <translation>用户名：</translation>
    </message>
    <message>
        <source>NetSettingsDialog.Password:</source>
        <translation>密码：</translation>
    </message>
    <message>
        <source>NetSettingsDialog.NoticeLabel</source>
        <translation>代理设置保存后立即生效，用于登录、视频管理和文件上传。</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>应用</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>NetSettingsDialog.HostIsEmpty!</source>
        <translation>请填写代理服务器地址</translation>
    </message>
</context>
<context>
    <name>OperationWidget</name>
    <message>
        <source>RetryUpload</source>
        <translation>重新上传</translation>
    </message>
    <message>
        <source>StartUpload</source>
        <translation>开始上传</translation>
    </message>
    <message>
        <source>StopUpload</source>
        <translation>暂停上传</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>SystemTip</source>
        <translation>系统提示</translation>
    </message>
    <message>
        <source>The file has not been uploaded successfully. Are you sure you want to cancel the upload?</source>
        <translation>文件尚未上传成功，确定要取消上传吗？</translation>
    </message>
    <message>
        <source>OpenPath</source>
        <translation>打开所在文件夹</translation>
    </message>
    <message>
        <source>CleanUp</source>
        <translation>清除记录</translation>
    </message>
    <message>
        <source>DeleteUploadTaskError</source>
        <translation>删除上传任务失败</translation>
    </message>
</context>
<context>
    <name>Paginator</name>
    <message>
        <source>total %1 pages</source>
        <translation>共 %1 页</translation>
    </message>
    <message>
        <source>Paginator.JumpTo</source>
        <translation>跳至</translation>
    </message>
    <message>
        <source>Paginator.Pages</source>
        <translation>页</translation>
    </message>
    <message>
        <source>%1/Page</source>
        <translation>%1 条/页</translation>
    </message>
</context>
<context>
    <name>PostUploadDialog</name>
    <message>
        <source>Uploads finished</source>
        <translation>上传完成</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>All uploads are done. The computer shuts down in %1 seconds.</source>
        <translation>所有文件已上传完成，电脑将在 %1 秒后关机。</translation>
    </message>
    <message>
        <source>All uploads are done. The computer goes to sleep in %1 seconds.</source>
        <translation>所有文件已上传完成，电脑将在 %1 秒后进入睡眠。</translation>
    </message>
    <message>
        <source>All uploads are done. The client quits in %1 seconds.</source>
        <translation>所有文件已上传完成，客户端将在 %1 秒后退出。</translation>
    </message>
</context>
<context>
    <name>PreferenceDialog</name>
    <message>
        <source>PreferenceDialog.Title</source>
        <translation>偏好设置</translation>
    </message>
    <message>
        <source>PreferenceDialog.BasicSettings</source>
        <translation>基本设置</translation>
    </message>
    <message>
        <source>PreferenceDialog.TransferSettings</source>
        <translation>传输设置</translation>
    </message>
    <message>
        <source>PreferenceDialog.BaseSettings</source>
        <translation>常规</translation>
    </message>
    <message>
        <source>PreferenceDialog.OpenStartup</source>
        <translation>开机时自动启动</translation>
    </message>
    <message>
        <source>PreferenceDialog.AutoUpdate</source>
        <translation>自动更新（启动时发现新版本即提示）</translation>
    </message>
    <message>
        <source>PreferenceDialog.Optimize</source>
        <translation>课件上传优化</translation>
    </message>
    <message>
        <source>PreferenceDialog.MainWindowCloseButtonBehavior</source>
        <translation>关闭主窗口时</translation>
    </message>
    <message>
        <source>PreferenceDialog.CloseBehaviorHide</source>
        <translation>最小化到系统托盘</translation>
    </message>
    <message>
        <source>PreferenceDialog.CloseBehaviorQuit</source>
        <translation>退出程序</translation>
    </message>
    <message>
        <source>PreferenceDialog.UploadTasksNumSettings</source>
        <translation>上传任务</translation>
    </message>
    <message>
        <source>PreferenceDialog.UploadTasksNum:</source>
        <translation>同时上传任务数：</translation>
    </message>
    <message>
        <source>PreferenceDialog.AutoStartUpload</source>
        <translation>添加任务后自动开始上传</translation>
    </message>
    <message>
        <source>PreferenceDialog.UploadSpeedLimitSettings</source>
        <translation>上传限速</translation>
    </message>
    <message>
        <source>PreferenceDialog.UnlimitedSpeed</source>
        <translation>不限速</translation>
    </message>
    <message>
        <source>KB/s</source>
        <translation>KB/s</translation>
    </message>
    <message>
        <source>PreferenceDialog.LimitedSpeed</source>
        <translation>限速</translation>
    </message>
    <message>
        <source>PreferenceDialog.NetworkProxySettings</source>
        <translation>网络代理</translation>
    </message>
    <message>
        <source>PreferenceDialog.Type:</source>
        <translation>类型：</translation>
    </message>
    <message>
        <source>PreferenceDialog.NoProxy</source>
        <translation>不使用代理</translation>
    </message>
    <message>
        <source>PreferenceDialog.HttpProxy</source>
        <translation>HTTP 代理</translation>
    </message>
    <message>
        <source>PreferenceDialog.Address:</source>
        <translation>地址：</translation>
    </message>
    <message>
        <source>PreferenceDialog.Port:</source>
        <translation>端口：</translation>
    </message>
    <message>
        <source>PreferenceDialog.Username:</source>
        <translation>用户名：</translation>
    </message>
    <message>
        <source>PreferenceDialog.Password:</source>
        <translation>密码：</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>应用</translation>
    </message>
    <message>
        <source>PreferenceDialog.NoticeLabel</source>
        <translation>代理详情点击“应用”后保存并立即生效。</translation>
    </message>
    <message>
        <source>LimitedSpeedValueError</source>
        <translation>限速值须在 100 到 102400 KB/s 之间，限速未更改</translation>
    </message>
    <message>
        <source>NetSettingsDialog.HostIsEmpty!</source>
        <translation>代理地址不能为空！</translation>
    </message>
</context>
<context>
    <name>ProgressWidget</name>
    <message>
        <source>OverOneDay</source>
        <translation>超过一天</translation>
    </message>
    <message>
        <source>Waiting</source>
        <translation>等待中</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>已暂停</translation>
    </message>
    <message>
        <source>Stoped</source>
        <translation>已停止</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>ErrorCodeString.NO_LOGIN</source>
        <translation>未登录或登录已失效，请重新登录</translation>
    </message>
    <message>
        <source>ErrorCodeString.ACCESS_FORBIDDEN</source>
        <translation>禁止访问</translation>
    </message>
    <message>
        <source>ErrorCodeString.EMAIL_EMPTY</source>
        <translation>邮箱不能为空</translation>
    </message>
    <message>
        <source>ErrorCodeString.PASSWORD_EMPTY</source>
        <translation>密码不能为空</translation>
    </message>
    <message>
        <source>ErrorCodeString.USER_NOT_EXIST</source>
        <translation>用户不存在</translation>
    </message>
    <message>
        <source>ErrorCodeString.MAIN_ACCOUNT_PWD_ERR</source>
        <translation>主账号密码错误</translation>
    </message>
    <message>
        <source>ErrorCodeString.SUB_ACCOUNT_PWD_ERR</source>
        <translation>子账号密码错误</translation>
    </message>
    <message>
        <source>ErrorCodeString.SUB_USER_EXPIRED</source>
        <translation>子账号已过期</translation>
    </message>
    <message>
        <source>ErrorCodeString.SUB_USER_NOT_ALLOW</source>
        <translation>子账号不允许登录</translation>
    </message>
    <message>
        <source>ErrorCodeString.SMS_TOO_OFTEN</source>
        <translation>短信发送过于频繁</translation>
    </message>
    <message>
        <source>ErrorCodeString.SMS_CODE_ERR</source>
        <translation>短信验证码错误</translation>
    </message>
    <message>
        <source>ErrorCodeString.PASSWORD_ERR</source>
        <translation>密码错误</translation>
    </message>
    <message>
        <source>ErrorCodeString.ACCOUNT_LOCKED</source>
        <translation>账号已被锁定</translation>
    </message>
    <message>
        <source>ErrorCodeString.PHONE_NOT_FOUND</source>
        <translation>手机号不存在</translation>
    </message>
    <message>
        <source>ErrorCodeString.USER_CHILD_EXPIRED</source>
        <translation>子账号已过期</translation>
    </message>
    <message>
        <source>ErrorCodeString.PERMISSION_LIMITED</source>
        <translation>权限不足</translation>
    </message>
    <message>
        <source>ErrorCodeString.CATEGORY_LIMITED</source>
        <translation>无权操作该分类</translation>
    </message>
    <message>
        <source>ErrorCodeString.TITLE_CAN_NOT_BE_EMPTY</source>
        <translation>标题不能为空</translation>
    </message>
    <message>
        <source>ErrorCodeString.RESUME_FAILED</source>
        <translation>续传失败</translation>
    </message>
    <message>
        <source>ErrorCodeString.INIT_FAILED</source>
        <translation>初始化失败</translation>
    </message>
    <message>
        <source>ErrorCodeString.SIZE_ZERO</source>
        <translation>文件大小为 0</translation>
    </message>
    <message>
        <source>ErrorCodeString.GET_TOKEN_FAILED</source>
        <translation>获取上传凭证失败</translation>
    </message>
    <message>
        <source>ErrorCodeString.INVALID_ACCOUNT_STATUS</source>
        <translation>账号状态异常</translation>
    </message>
    <message>
        <source>ErrorCodeString.ILLEGAL_VID</source>
        <translation>视频 ID 不合法</translation>
    </message>
    <message>
        <source>ErrorCodeString.UPLOAD_PERMISSION_LIMITED</source>
        <translation>没有上传权限</translation>
    </message>
    <message>
        <source>ErrorCodeString.SLIDE_ERROR</source>
        <translation>滑动验证失败</translation>
    </message>
    <message>
        <source>ErrorCodeString.VIDEO_STATUS_LIMIT</source>
        <translation>当前视频状态不允许此操作</translation>
    </message>
    <message>
        <source>ErrorCodeString.CATANAME_BLANK</source>
        <translation>分类名称不能为空</translation>
    </message>
    <message>
        <source>ErrorCodeString.CATEGORY_NOT_EXIST</source>
        <translation>分类不存在</translation>
    </message>
    <message>
        <source>ErrorCodeString.CATA_PERMISSION_LIMIT</source>
        <translation>没有该分类的操作权限</translation>
    </message>
    <message>
        <source>ErrorCodeString.CATANAME_ALREADY_EXIST</source>
        <translation>分类名称已存在</translation>
    </message>
    <message>
        <source>ErrorCodeString.DELETE_CATEGORY_FAIL</source>
        <translation>删除分类失败</translation>
    </message>
    <message>
        <source>ErrorCodeString.CATEGORY_MODIFY_LIMITED</source>
        <translation>该分类不允许修改</translation>
    </message>
    <message>
        <source>ErrorCodeString.UPDATE_DISK_VIDEO_CATA_LIMIT</source>
        <translation>不允许修改该视频的分类</translation>
    </message>
    <message>
        <source>ErrorCodeString.VIDEO_NOT_EXIST</source>
        <translation>视频不存在</translation>
    </message>
    <message>
        <source>ErrorCodeString.INVALID_FILTER</source>
        <translation>无效的筛选条件</translation>
    </message>
    <message>
        <source>ErrorCodeString.ONLY_FORBID_PUBLISH_VIDEO</source>
        <translation>只能禁播已发布的视频</translation>
    </message>
    <message>
        <source>ErrorCodeString.ONLY_LIFT_FORBIDDEN_VIDEO</source>
        <translation>只能解禁已禁播的视频</translation>
    </message>
    <message>
        <source>ErrorCodeString.OPERATION_COUNT_EXCEED</source>
        <translation>操作数量超出限制</translation>
    </message>
    <message>
        <source>InternalError</source>
        <translation>内部错误</translation>
    </message>
    <message>
        <source>CurlPerformFailed</source>
        <translation>网络请求失败，请检查网络连接</translation>
    </message>
    <message>
        <source>CurlPerformTimeout</source>
        <translation>网络请求超时</translation>
    </message>
    <message>
        <source>CurlPerformAbort</source>
        <translation>请求已取消</translation>
    </message>
    <message>
        <source>ApiReturnFailed</source>
        <translation>服务器返回失败</translation>
    </message>
    <message>
        <source>DownloadPathIsNotWritable</source>
        <translation>下载路径不可写</translation>
    </message>
    <message>
        <source>CreateDownloadPathFailed</source>
        <translation>创建下载路径失败</translation>
    </message>
    <message>
        <source>DownloadCancel</source>
        <translation>下载已取消</translation>
    </message>
    <message>
        <source>Unknown Error</source>
        <translation>未知错误</translation>
    </message>
    <message>
        <source>ErrorCodeString.OtherError, code:</source>
        <translation>其他错误，错误码：</translation>
    </message>
    <message>
        <source>SdkCodeMsg.NoFile</source>
        <translation>文件不存在</translation>
    </message>
    <message>
        <source>SdkCodeMsg.FileEmpty</source>
        <translation>文件为空</translation>
    </message>
    <message>
        <source>SdkCodeMsg.OpenFileError</source>
        <translation>无法打开文件</translation>
    </message>
    <message>
        <source>SdkCodeMsg.NoSpace</source>
        <translation>存储空间不足</translation>
    </message>
    <message>
        <source>SdkCodeMsg.HttpResponse</source>
        <translation>服务器响应解析失败</translation>
    </message>
    <message>
        <source>SdkCodeMsg.RequestTimeout</source>
        <translation>请求超时</translation>
    </message>
    <message>
        <source>SdkCodeMsg.ConnectionTimeout</source>
        <translation>连接超时</translation>
    </message>
    <message>
        <source>SdkCodeMsg.InvalidDigest</source>
        <translation>数据校验失败</translation>
    </message>
    <message>
        <source>SdkCodeMsg.InternalError</source>
        <translation>服务器内部错误</translation>
    </message>
    <message>
        <source>SdkCodeMsg.AccessDenied</source>
        <translation>访问被拒绝</translation>
    </message>
    <message>
        <source>SdkCodeMsg.fileContentError</source>
        <translation>文件内容在上传过程中发生变化</translation>
    </message>
    <message>
        <source>SdkCodeMsg.CallbackFailed</source>
        <translation>上传回调失败</translation>
    </message>
    <message>
        <source>SdkCodeMsg.UploadFileNotExist</source>
        <translation>服务器上的上传记录不存在</translation>
    </message>
    <message>
        <source>SdkCodeMsg.SocketTimeout</source>
        <translation>网络读写超时</translation>
    </message>
    <message>
        <source>SdkCodeMsg.CapacityOverLimit</source>
        <translation>存储空间已超出限额</translation>
    </message>
    <message>
        <source>SdkCodeMsg.ConsoleCommonErrorUserServiceException</source>
        <translation>用户服务异常</translation>
    </message>
    <message>
        <source>SdkCodeMsg.TokenError</source>
        <translation>上传凭证无效</translation>
    </message>
</context>
<context>
    <name>RecordTableWidget</name>
    <message>
        <source>Record.Title</source>
        <translation>标题</translation>
    </message>
    <message>
        <source>Record.FileSize</source>
        <translation>文件大小</translation>
    </message>
    <message>
        <source>Record.Dir</source>
        <translation>分类</translation>
    </message>
    <message>
        <source>Record.Status</source>
        <translation>状态</translation>
    </message>
    <message>
        <source>Record.Opertation</source>
        <translation>操作</translation>
    </message>
</context>
<context>
    <name>SDKUploadTask</name>
    <message>
        <source>UploadSuccess</source>
        <translation>上传成功</translation>
    </message>
    <message>
        <source>SecondPass</source>
        <translation>秒传成功</translation>
    </message>
    <message>
        <source>CRC64 Check Error</source>
        <translation>CRC64 校验失败</translation>
    </message>
    <message>
        <source>unknown error:</source>
        <translation>未知错误：</translation>
    </message>
    <message>
        <source>FileChanage</source>
        <translation>文件已被修改</translation>
    </message>
    <message>
        <source>FileNoExist</source>
        <translation>文件不存在</translation>
    </message>
</context>
<context>
    <name>SelectCategoryDialog</name>
    <message>
        <source>SelectCategoryDialog.TitleMoveCategory</source>
        <translation>移动分类</translation>
    </message>
    <message>
        <source>SelectCategoryDialog.TitleMoveVideo</source>
        <translation>移动视频</translation>
    </message>
    <message>
        <source>SelectCategoryDialog.SearchEditorPlaceholder</source>
        <translation>搜索分类</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>SelectCategoryDialog.MoveCategoryFailed:</source>
        <translation>移动分类失败：</translation>
    </message>
    <message>
        <source>SelectCategoryDialog.MoveVideoFailed:</source>
        <translation>移动视频失败：</translation>
    </message>
    <message>
        <source>SelectCategoryDialog.NoSelected</source>
        <translation>请选择目标分类</translation>
    </message>
    <message>
        <source>SelectCategoryDialog.MoveCategoryToSrcCategory</source>
        <translation>分类已在该分类下</translation>
    </message>
    <message>
        <source>SelectCategoryDialog.MoveCategoryToSelfCategory</source>
        <translation>不能移动到分类自身</translation>
    </message>
    <message>
        <source>IsOperatingCategory</source>
        <translation>正在操作分类，请稍候</translation>
    </message>
    <message>
        <source>TaskRunningSlowly</source>
        <translation>任务执行较慢，请耐心等待</translation>
    </message>
    <message>
        <source>SelectCategoryDialog.IsMovingCategory</source>
        <translation>正在移动分类，请稍候</translation>
    </message>
    <message>
        <source>SelectCategoryDialog.IsMovingVideo</source>
        <translation>正在移动视频，请稍候</translation>
    </message>
</context>
<context>
    <name>TitleBar</name>
    <message>
        <source>Minimum</source>
        <translation>最小化</translation>
    </message>
    <message>
        <source>Restore</source>
        <translation>还原</translation>
    </message>
    <message>
        <source>Maximum</source>
        <translation>最大化</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
</context>
<context>
    <name>TransferListWidget</name>
    <message>
        <source>MainWindow.UploadPage</source>
        <translation>正在上传</translation>
    </message>
    <message>
        <source>MainWindow.FinishPage</source>
        <translation>上传完成</translation>
    </message>
    <message>
        <source>Mainwindow.TotalStr</source>
        <translation>总进度</translation>
    </message>
    <message>
        <source>StartAll</source>
        <translation>全部开始</translation>
    </message>
    <message>
        <source>SuspendAll</source>
        <translation>全部暂停</translation>
    </message>
    <message>
        <source>MainWindow.CancelAllBtn</source>
        <translation>全部取消</translation>
    </message>
    <message>
        <source>Mainwindow.CurrentTaskNum:</source>
        <translation>当前任务数：</translation>
    </message>
    <message>
        <source>MainWindow.UploadBtn</source>
        <translation>上传视频</translation>
    </message>
    <message>
        <source>MainWindow.PostTaskBtn</source>
        <translation>上传完成后</translation>
    </message>
    <message>
        <source>MainWindow.TotalTransFinish</source>
        <translation>共完成</translation>
    </message>
    <message>
        <source>MainWindow.TotalTransFinishFiles</source>
        <translation>个文件</translation>
    </message>
    <message>
        <source>MainWindow.ClearAllRecordButton</source>
        <translation>清空全部记录</translation>
    </message>
    <message>
        <source>MainWindow.NoUploadTask</source>
        <translation>暂无上传任务</translation>
    </message>
    <message>
        <source>MainWindow.UploadNow</source>
        <translation>立即上传</translation>
    </message>
    <message>
        <source>MainWindow.NoTransmitRecord</source>
        <translation>暂无传输记录</translation>
    </message>
    <message>
        <source>MainWindow.AfterUploadFinish</source>
        <translation>上传完成后：</translation>
    </message>
    <message>
        <source>MainWindow.PostTaskShutdown</source>
        <translation>关机</translation>
    </message>
    <message>
        <source>MainWindow.PostTaskSleep</source>
        <translation>睡眠</translation>
    </message>
    <message>
        <source>MainWindow.PostTaskQuit</source>
        <translation>退出程序</translation>
    </message>
    <message>
        <source>MainWindow.PostTaskNoPostTask</source>
        <translation>不做任何操作</translation>
    </message>
    <message>
        <source>SystemTip</source>
        <translation>系统提示</translation>
    </message>
    <message>
        <source>The file has not been uploaded successfully. Are you sure you want to cancel all uploads?</source>
        <translation>文件尚未上传成功，确定要取消全部上传吗？</translation>
    </message>
    <message>
        <source>Are you sure you want to remove all history records?</source>
        <translation>确定要清空全部历史记录吗？</translation>
    </message>
</context>
<context>
    <name>UpdateDialog</name>
    <message>
        <source>UpdateDialog.Title</source>
        <translation>检查更新</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>版本</translation>
    </message>
    <message>
        <source>AlreadyNewVersionRemark</source>
        <translation>当前已是最新版本</translation>
    </message>
    <message>
        <source>VersionInfo</source>
        <translation>版本信息</translation>
    </message>
    <message>
        <source>Update</source>
        <translation>立即更新</translation>
    </message>
    <message>
        <source>DownloadingInfo</source>
        <translation>正在下载</translation>
    </message>
    <message>
        <source>Download succeed, install new version right now?</source>
        <translation>下载完成，是否立即安装新版本？</translation>
    </message>
    <message>
        <source>Install</source>
        <translation>立即安装</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Current Version</source>
        <translation>当前版本</translation>
    </message>
    <message>
        <source>Current version</source>
        <translation>当前版本</translation>
    </message>
    <message>
        <source>Checking</source>
        <translation>正在检查更新…</translation>
    </message>
    <message>
        <source>Check failed, please retry</source>
        <translation>检查失败，请重试</translation>
    </message>
    <message>
        <source>recheck</source>
        <translation>重新检查</translation>
    </message>
    <message>
        <source>Has new version</source>
        <translation>发现新版本</translation>
    </message>
    <message>
        <source>(Current version %1)</source>
        <translation>（当前版本 %1）</translation>
    </message>
    <message>
        <source>Downloading update</source>
        <translation>正在下载更新</translation>
    </message>
    <message>
        <source>Download failed, please retry</source>
        <translation>下载失败，请重试</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>重试</translation>
    </message>
    <message>
        <source>SystemTip</source>
        <translation>系统提示</translation>
    </message>
    <message>
        <source>There are some uploading tasks. Do you want to exit the application?</source>
        <translation>有正在上传的任务，确定要退出程序吗？</translation>
    </message>
    <message>
        <source>Do you want to abort update?</source>
        <translation>确定要中止更新吗？</translation>
    </message>
    <message>
        <source>UpdateDialog.StartInstallerFailed</source>
        <translation>无法启动安装程序，请手动运行已下载的安装包。</translation>
    </message>
</context>
<context>
    <name>UploadDialog</name>
    <message>
        <source>UploadDialogTitle</source>
        <translation>上传视频</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>UploadDialog.AddVideo</source>
        <translation>添加视频</translation>
    </message>
    <message>
        <source>UploadDialog.Optimize</source>
        <translation>课件优化</translation>
    </message>
    <message>
        <source>UploadDialog.DeleteAll</source>
        <translation>全部删除</translation>
    </message>
    <message>
        <source>UploadDialog.Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>UploadDialog.Upload</source>
        <translation>上传</translation>
    </message>
    <message>
        <source>Total %1 videos</source>
        <translation>共 %1 个视频</translation>
    </message>
    <message>
        <source>AllMediaFiles</source>
        <translation>所有媒体文件</translation>
    </message>
    <message>
        <source>VideoFiles</source>
        <translation>视频文件</translation>
    </message>
    <message>
        <source>AudioFiles</source>
        <translation>音频文件</translation>
    </message>
    <message>
        <source>MediaFiles</source>
        <translation>选择媒体文件</translation>
    </message>
    <message>
        <source>UploadDialog.NoSupportFiles:</source>
        <translation>以下文件格式不支持上传：</translation>
    </message>
    <message>
        <source>UploadDialog.InvalidParam</source>
        <translation>标题、描述、标签或文件名含有不支持的字符（如表情符号），请修改标红的行</translation>
    </message>
    <message>
        <source>UploadDialog.UploadFileDuplicated</source>
        <translation>部分文件已在上传列表中，已跳过</translation>
    </message>
</context>
<context>
    <name>UploadNotifier</name>
    <message>
        <source>%1: %2</source>
        <translation>%1：%2</translation>
    </message>
    <message>
        <source>Upload failed</source>
        <translation>上传失败</translation>
    </message>
    <message>
        <source>%1 uploads failed</source>
        <translation>%1 个文件上传失败</translation>
    </message>
    <message>
        <source>%1 files uploaded, %2 failed</source>
        <translation>已上传 %1 个文件，%2 个失败</translation>
    </message>
    <message>
        <source>%1 files uploaded</source>
        <translation>已上传 %1 个文件</translation>
    </message>
    <message>
        <source>Uploads finished</source>
        <translation>上传完成</translation>
    </message>
</context>
<context>
    <name>UploadTableDelegate</name>
    <message>
        <source>Edit</source>
        <translation>编辑</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>删除</translation>
    </message>
</context>
<context>
    <name>UploadTableModel</name>
    <message>
        <source>UploadTableModel.Title</source>
        <translation>标题</translation>
    </message>
    <message>
        <source>UploadTableModel.VideoFormat</source>
        <translation>格式</translation>
    </message>
    <message>
        <source>UploadTableModel.Size</source>
        <translation>大小</translation>
    </message>
</context>
<context>
    <name>VidTextBrowser</name>
    <message>
        <source>Input Correct Vid</source>
        <translation>请输入正确的 vid</translation>
    </message>
    <message>
        <source>Input more than 100 vids </source>
        <translation>输入的 vid 超过 %1 个</translation>
    </message>
    <message>
        <source>The Vid Exist</source>
        <translation>该 vid 已存在</translation>
    </message>
    <message>
        <source>Drag File Error</source>
        <translation>只能拖入 CSV 或文本文件</translation>
    </message>
    <message>
        <source>Input some vids</source>
        <translation>已导入 %1 个 vid</translation>
    </message>
    <message>
        <source>Input the same vids</source>
        <translation>%1 个 vid 已存在，未导入</translation>
    </message>
    <message>
        <source>Input none vids</source>
        <translation>没有导入任何 vid</translation>
    </message>
    <message>
        <source>Input some vids, and some error vids</source>
        <translation>已导入 %1 个 vid，%2 项格式错误</translation>
    </message>
</context>
<context>
    <name>VideoBatchSearchDialog</name>
    <message>
        <source>BatchSearch</source>
        <translation>批量搜索</translation>
    </message>
    <message>
        <source>Input vid</source>
        <translation>输入 vid</translation>
    </message>
    <message>
        <source>Import CSV File</source>
        <translation>导入 CSV 文件</translation>
    </message>
    <message>
        <source>Download Template</source>
        <translation>下载模板</translation>
    </message>
    <message>
        <source>Search Vids Tips</source>
        <translation>按回车确认每个 vid，可粘贴多个或拖入 CSV/TXT 文件，最多 100 个</translation>
    </message>
    <message>
        <source>Input Vid Count Tips</source>
        <translation>已输入 %1 个</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Query</source>
        <translation>查询</translation>
    </message>
    <message>
        <source>AllVidFiles</source>
        <translation>所有 vid 文件</translation>
    </message>
    <message>
        <source>CsvFiles</source>
        <translation>CSV 文件</translation>
    </message>
    <message>
        <source>TxtFiles</source>
        <translation>文本文件</translation>
    </message>
    <message>
        <source>Save csv template file</source>
        <translation>保存 CSV 模板文件</translation>
    </message>
    <message>
        <source>Vids Empty</source>
        <translation>请先输入 vid</translation>
    </message>
</context>
<context>
    <name>VideoEditDialog</name>
    <message>
        <source>VideoEditDialog.Title</source>
        <translation>编辑视频信息</translation>
    </message>
    <message>
        <source>VideoEditDialog.BasicInfo</source>
        <translation>基本信息</translation>
    </message>
    <message>
        <source>VideoEditDialog.CoverInfo</source>
        <translation>封面</translation>
    </message>
    <message>
        <source>VideoEditDialog.VideoTiltePlaceholder</source>
        <translation>请输入视频标题</translation>
    </message>
    <message>
        <source>VideoEditDialog.Title:</source>
        <translation>标题：</translation>
    </message>
    <message>
        <source>VideoEditDialog.VideoDescPlaceholder</source>
        <translation>请输入视频描述</translation>
    </message>
    <message>
        <source>VideoEditDialog.Desc:</source>
        <translation>描述：</translation>
    </message>
    <message>
        <source>VideoEditDialog.VideoTagsPlaceholder</source>
        <translation>多个标签请用逗号分隔</translation>
    </message>
    <message>
        <source>VideoEditDialog.Tags:</source>
        <translation>标签：</translation>
    </message>
    <message>
        <source>VideoEditDialog.Vid:</source>
        <translation>视频 ID：</translation>
    </message>
    <message>
        <source>VideoEditDialog.Duration:</source>
        <translation>时长：</translation>
    </message>
    <message>
        <source>VideoEditDialog.FileSize:</source>
        <translation>文件大小：</translation>
    </message>
    <message>
        <source>VideoEditDialog.UploadTime:</source>
        <translation>上传时间：</translation>
    </message>
    <message>
        <source>VideoEditDialog.ModifyTime:</source>
        <translation>修改时间：</translation>
    </message>
    <message>
        <source>VideoEditDialog.Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>VideoEditDialog.Confirm</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>VideoEditDialog.InvalidInput</source>
        <translation>输入含有不支持的字符（如表情符号），请修改标红的内容</translation>
    </message>
    <message>
        <source>VideoEditDialog.EmptyTitle</source>
        <translation>标题不能为空</translation>
    </message>
    <message>
        <source>VideoEditDialog.SelectCover</source>
        <translation>选择封面</translation>
    </message>
    <message>
        <source>VideoEditDialog.SelectedCover</source>
        <translation>当前封面</translation>
    </message>
    <message>
        <source>VideoEditDialog.CustomCover:</source>
        <translation>自定义封面：</translation>
    </message>
    <message>
        <source>VideoEditDialog.UploadCover</source>
        <translation>上传封面</translation>
    </message>
    <message>
        <source>VideoEditDialog.Notice</source>
        <translation>支持 JPG、PNG、GIF、BMP 格式，文件不超过 5 MB，分辨率不超过 1920 × 1080</translation>
    </message>
    <message>
        <source>VideoEditDialog.Uploading...</source>
        <translation>上传中...</translation>
    </message>
    <message>
        <source>VideoEditDialog.ChoiceFile</source>
        <translation>选择图片</translation>
    </message>
    <message>
        <source>VideoEditDialog.SupportImageFormat</source>
        <translation>图片文件</translation>
    </message>
    <message>
        <source>VideoEditDialog.UploadCoverFileSizeTooLarge</source>
        <translation>图片文件不能超过 5 MB</translation>
    </message>
    <message>
        <source>VideoEditDialog.UploadCoverResolutionTooLarge</source>
        <translation>图片分辨率不能超过 1920 × 1080</translation>
    </message>
    <message>
        <source>VideoEditDialog.UploadCoverNotImage</source>
        <translation>所选文件不是可用的图片</translation>
    </message>
    <message>
        <source>VideoEditDialog.ReUploadCoverWillOverride?</source>
        <translation>重新上传将覆盖已上传的自定义封面，是否继续？</translation>
    </message>
    <message>
        <source>VideoEditDialog.UploadCoverSucceed</source>
        <translation>封面上传成功</translation>
    </message>
    <message>
        <source>VideoEditDialog.UploadCoverFailed: %1</source>
        <translation>封面上传失败：%1</translation>
    </message>
    <message>
        <source>VideoEditDialog.ChangeCoverSucceed</source>
        <translation>封面修改成功</translation>
    </message>
    <message>
        <source>VideoEditDialog.ChangeCoverFailed: %1</source>
        <translation>封面修改失败：%1</translation>
    </message>
    <message>
        <source>VideoEditDialog.GetVideosInfoFailed: %1</source>
        <translation>获取视频截图失败：%1</translation>
    </message>
    <message>
        <source>VideoEditDialog.UpdateVideoInfoFailed:</source>
        <translation>视频信息修改失败：</translation>
    </message>
    <message>
        <source>VideoEditDialog.CloseWhenUpdateVideoInfo!</source>
        <translation>正在保存视频信息，请稍候再关闭</translation>
    </message>
    <message>
        <source>VideoEditDialog.CloseWhenChanging!</source>
        <translation>正在修改封面，请稍候再关闭</translation>
    </message>
    <message>
        <source>VideoEditDialog.CloseWhenUploading!</source>
        <translation>正在上传封面，请稍候再关闭</translation>
    </message>
</context>
<context>
    <name>VideoListWidget</name>
    <message>
        <source>IsOperatingCategory</source>
        <translation>分类操作进行中，请稍后再试</translation>
    </message>
    <message>
        <source>AddCate</source>
        <translation>新建分类</translation>
    </message>
    <message>
        <source>BatchSearch</source>
        <translation>批量搜索</translation>
    </message>
    <message>
        <source>RefreshVideoListFailed:</source>
        <translation>刷新视频列表失败：</translation>
    </message>
    <message>
        <source>RefreshVideoSucceed</source>
        <translation>视频列表已刷新</translation>
    </message>
    <message>
        <source>MoveVideoSucceed</source>
        <translation>视频移动成功</translation>
    </message>
    <message>
        <source>MoveVideoFailed:</source>
        <translation>视频移动失败：</translation>
    </message>
    <message>
        <source>DeleteVideoSucceed</source>
        <translation>视频删除成功</translation>
    </message>
    <message>
        <source>DeleteVideoFailedPromptDialog.Title</source>
        <translation>部分视频删除失败</translation>
    </message>
    <message>
        <source>RefreshCategoryFailed:</source>
        <translation>刷新分类失败：</translation>
    </message>
    <message>
        <source>AddCategorySucceed</source>
        <translation>分类创建成功</translation>
    </message>
    <message>
        <source>AddCategoryFailed:</source>
        <translation>分类创建失败：</translation>
    </message>
    <message>
        <source>MoveCategorySucceed</source>
        <translation>分类移动成功</translation>
    </message>
    <message>
        <source>RenameCategorySucceed</source>
        <translation>分类重命名成功</translation>
    </message>
    <message>
        <source>RenameCategoryFailed:</source>
        <translation>分类重命名失败：</translation>
    </message>
    <message>
        <source>VideoList.SearchCate</source>
        <translation>搜索分类</translation>
    </message>
    <message>
        <source>RefreshCate</source>
        <translation>刷新分类</translation>
    </message>
    <message>
        <source>VideoList.LoadingCate...</source>
        <translation>正在加载分类…</translation>
    </message>
    <message>
        <source>VideoList.Upload</source>
        <translation>上传视频</translation>
    </message>
    <message>
        <source>Return List</source>
        <translation>返回列表</translation>
    </message>
    <message>
        <source>VideoList.CurrentCategory</source>
        <translation>当前分类</translation>
    </message>
    <message>
        <source>VideoList.AllCategory</source>
        <translation>全部分类</translation>
    </message>
    <message>
        <source>VideoList.SearchFile</source>
        <translation>搜索视频标题</translation>
    </message>
    <message>
        <source>TimeDescSort</source>
        <translation>按时间降序</translation>
    </message>
    <message>
        <source>TimeAscSort</source>
        <translation>按时间升序</translation>
    </message>
    <message>
        <source>TitleDescSort</source>
        <translation>按标题降序</translation>
    </message>
    <message>
        <source>TitleAscSort</source>
        <translation>按标题升序</translation>
    </message>
    <message>
        <source>VideoList.NoContainSub</source>
        <translation>仅当前分类</translation>
    </message>
    <message>
        <source>VideoList.ContainSub</source>
        <translation>包含子分类</translation>
    </message>
    <message>
        <source>Export Data</source>
        <translation>导出数据</translation>
    </message>
    <message>
        <source>VideoList.Refresh</source>
        <translation>刷新</translation>
    </message>
    <message>
        <source>VideoList.Move</source>
        <translation>移动</translation>
    </message>
    <message>
        <source>VideoList.Delete</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>VideoList.LoadingVideo...</source>
        <translation>正在加载视频…</translation>
    </message>
    <message>
        <source>RefreshVideoListMySQLIncompatible</source>
        <translation>搜索内容包含不支持的字符（如表情符号），请修改后重试</translation>
    </message>
    <message>
        <source>VideoList.NoSearchResult</source>
        <translation>没有找到相关视频</translation>
    </message>
    <message>
        <source>VideoList.NoVideo</source>
        <translation>该分类下暂无视频</translation>
    </message>
    <message>
        <source>Search %1 Video</source>
        <translation>共搜索到 %1 个视频</translation>
    </message>
    <message>
        <source>SystemTip</source>
        <translation>系统提示</translation>
    </message>
    <message>
        <source>Return To Video List</source>
        <translation>确定返回视频列表吗？</translation>
    </message>
    <message>
        <source>TaskRunningSlowly</source>
        <translation>网络较慢，正在努力处理中…</translation>
    </message>
    <message>
        <source>Total %1 videos</source>
        <translation>共 %1 个视频</translation>
    </message>
    <message>
        <source>Selected %1/%2 videos</source>
        <translation>已选 %1/%2 个视频</translation>
    </message>
    <message>
        <source>NoSelected</source>
        <translation>请先选择视频</translation>
    </message>
    <message>
        <source>CanNotMoveUploadingVideo</source>
        <translation>上传中的视频无法移动</translation>
    </message>
    <message>
        <source>DeleteVideoConfirmTitle</source>
        <translation>删除视频</translation>
    </message>
    <message>
        <source>DeleteVideoConfirmMessage</source>
        <translation>确定删除以下视频吗？删除后无法恢复。&lt;br&gt;</translation>
    </message>
    <message>
        <source>Selected &lt;span style=color:rgb(241,91,52);&gt;%1&lt;/span&gt; videos</source>
        <translation>已选 &lt;span style=color:rgb(241,91,52);&gt;%1&lt;/span&gt; 个视频</translation>
    </message>
    <message>
        <source>DeleteVideoContainsUploadTask</source>
        <translation>其中包含本客户端正在上传的视频，其上传任务将一并删除</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>title</source>
        <translation>标题</translation>
    </message>
    <message>
        <source>description</source>
        <translation>描述</translation>
    </message>
    <message>
        <source>duration</source>
        <translation>时长</translation>
    </message>
    <message>
        <source>thumbnailURL</source>
        <translation>缩略图地址</translation>
    </message>
    <message>
        <source>coverURL</source>
        <translation>封面地址</translation>
    </message>
    <message>
        <source>creationTime</source>
        <translation>创建时间</translation>
    </message>
    <message>
        <source>updateTime</source>
        <translation>更新时间</translation>
    </message>
    <message>
        <source>size</source>
        <translation>大小</translation>
    </message>
    <message>
        <source>status</source>
        <translation>状态</translation>
    </message>
    <message>
        <source>cateId</source>
        <translation>分类ID</translation>
    </message>
    <message>
        <source>cateName</source>
        <translation>分类名称</translation>
    </message>
    <message>
        <source>tags</source>
        <translation>标签</translation>
    </message>
    <message>
        <source>uploader</source>
        <translation>上传者</translation>
    </message>
    <message>
        <source>playTimes</source>
        <translation>播放次数</translation>
    </message>
    <message>
        <source>md5Checksum</source>
        <translation>MD5 校验值</translation>
    </message>
    <message>
        <source>ExportFailed:</source>
        <translation>导出失败：</translation>
    </message>
    <message>
        <source>Select Video Is Empty</source>
        <translation>请先选择要导出的视频</translation>
    </message>
    <message>
        <source>Select Video Data</source>
        <translation>所选视频数据</translation>
    </message>
    <message>
        <source>Count</source>
        <translation>条</translation>
    </message>
    <message>
        <source>Export csv video data file</source>
        <translation>导出 CSV 视频数据文件</translation>
    </message>
    <message>
        <source>CsvFiles</source>
        <translation>CSV 文件</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>搜索</translation>
    </message>
</context>
<context>
    <name>VideoStatus</name>
    <message>
        <source>Uploading</source>
        <translation>上传中</translation>
    </message>
    <message>
        <source>Syncing</source>
        <translation>同步中</translation>
    </message>
    <message>
        <source>SyncFailed</source>
        <translation>同步失败</translation>
    </message>
    <message>
        <source>WaitingProcess</source>
        <translation>等待处理</translation>
    </message>
    <message>
        <source>Transcoding</source>
        <translation>转码中</translation>
    </message>
    <message>
        <source>TranscodeFailed</source>
        <translation>转码失败</translation>
    </message>
    <message>
        <source>SourceFileIllegal</source>
        <translation>源文件异常</translation>
    </message>
    <message>
        <source>WaitingReview</source>
        <translation>等待审核</translation>
    </message>
    <message>
        <source>ReviewNoPass</source>
        <translation>审核未通过</translation>
    </message>
    <message>
        <source>Reviewing</source>
        <translation>审核中</translation>
    </message>
    <message>
        <source>Forbidden</source>
        <translation>已禁播</translation>
    </message>
    <message>
        <source>Release</source>
        <translation>已发布</translation>
    </message>
</context>
<context>
    <name>VideoTableColumn</name>
    <message>
        <source>Thumbs</source>
        <translation>缩略图</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>Uploader</source>
        <translation>上传者</translation>
    </message>
    <message>
        <source>Category</source>
        <translation>分类</translation>
    </message>
    <message>
        <source>UploadTime</source>
        <translation>上传时间</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>状态</translation>
    </message>
</context>
<context>
    <name>VideoTableModel</name>
    <message>
        <source>Edit</source>
        <translation>编辑</translation>
    </message>
    <message>
        <source>CodeGen</source>
        <translation>代码</translation>
    </message>
    <message>
        <source>MainUploader</source>
        <translation>主账号</translation>
    </message>
    <message>
        <source>unknown</source>
        <translation>未知</translation>
    </message>
    <message>
        <source>DeleteUploadingVideoFromOtherClient</source>
        <translation>该视频正在由其他客户端上传，无法删除</translation>
    </message>
</context>
<context>
    <name>VideoTableView</name>
    <message>
        <source>CopyVid</source>
        <translation>复制 VID</translation>
    </message>
    <message>
        <source>VidCopied</source>
        <translation>VID 已复制</translation>
    </message>
    <message>
        <source>TitleCopied</source>
        <translation>标题已复制</translation>
    </message>
    <message>
        <source>CopyTitle</source>
        <translation>复制标题</translation>
    </message>
</context>
<context>
    <name>CliArgs</name>
    <message>
        <source>invalid value for %1: %2</source>
        <translation>%1 的值无效：%2</translation>
    </message>
    <message>
        <source>unknown option: %1</source>
        <translation>未知选项：%1</translation>
    </message>
    <message>
        <source>missing value for %1</source>
        <translation>%1 缺少值</translation>
    </message>
    <message>
        <source>unknown command: %1</source>
        <translation>未知命令：%1</translation>
    </message>
    <message>
        <source>no command given</source>
        <translation>未指定命令</translation>
    </message>
    <message>
        <source>wrong number of arguments for %1</source>
        <translation>%1 的参数个数不正确</translation>
    </message>
    <message>
        <source>Usage: orvane-upload COMMAND [OPTIONS]

Commands:
  login [--email E] [--password-stdin]   log in and remember the account
  logout                                 forget the remembered password
  upload FILE... [--category ID] [--title T] [--tags T] [--parallel N] [--limit KBps]
                                         upload the files and wait until they end
  resume [--parallel N] [--limit KBps]   run the account&apos;s unfinished uploads
  list                                   print the upload queue and the history
  delete VID...                          delete videos (and their queued uploads)
  watch DIR [--category ID] [--settle S] upload every new video or audio file in DIR

Options for every command:
  --json             one JSON object per event line (the default when not on a terminal)
  --api-url URL      platform address (default: the client&apos;s settings)
  --cacert FILE      CA bundle for the platform&apos;s certificate
  --proxy HOST:PORT  HTTP proxy ([http://][user[:password]@]host:port)

Exit codes: 0 all uploaded, 1 some failed, 2 usage or login error, 130 interrupted
(the uploads are paused and continue with &quot;orvane-upload resume&quot;).
</source>
        <translation>用法：orvane-upload 命令 [选项]

命令：
  login [--email E] [--password-stdin]   登录并记住账号
  logout                                 忘记已记住的密码
  upload 文件... [--category ID] [--title T] [--tags T] [--parallel N] [--limit KBps]
                                         上传文件并等待上传结束
  resume [--parallel N] [--limit KBps]   继续该账号未完成的上传
  list                                   列出上传队列和上传历史
  delete VID...                          删除视频（及其队列中的上传）
  watch 文件夹 [--category ID] [--settle S] 上传文件夹中出现的每个新视频或音频文件

所有命令的选项：
  --json             每个事件输出一行 JSON（不在终端上时的默认方式）
  --api-url URL      平台地址（默认：客户端的设置）
  --cacert 文件      平台证书的 CA 证书包
  --proxy 主机:端口  HTTP 代理（[http://][用户[:密码]@]主机:端口）

退出码：0 全部上传成功，1 部分失败，2 用法或登录错误，130 被中断
（上传已暂停，可用 &quot;orvane-upload resume&quot; 继续）。
</translation>
    </message>
</context>
<context>
    <name>FolderWatch</name>
    <message>
        <source>not a folder: %1</source>
        <translation>不是文件夹：%1</translation>
    </message>
    <message>
        <source>cannot read the watch state %1</source>
        <translation>无法读取监视状态文件 %1</translation>
    </message>
    <message>
        <source>Watching %1 (Ctrl+C to stop)</source>
        <translation>正在监视 %1（按 Ctrl+C 停止）</translation>
    </message>
    <message>
        <source>cannot read the file</source>
        <translation>无法读取文件</translation>
    </message>
    <message>
        <source>Failed: %1: %2</source>
        <translation>失败：%1：%2</translation>
    </message>
    <message>
        <source>Changed after its upload, not uploaded again: %1 (upload it with &quot;orvane-upload upload&quot; if wanted)</source>
        <translation>文件在上传后已更改，不会再次上传：%1（如需上传，请使用 &quot;orvane-upload upload&quot;）</translation>
    </message>
    <message>
        <source>Already uploaded as %1: %2</source>
        <translation>已上传为 %1：%2</translation>
    </message>
</context>
<context>
    <name>UploadCli</name>
    <message>
        <source>cannot open the database in %1</source>
        <translation>无法打开 %1 中的数据库</translation>
    </message>
    <message>
        <source>Interrupted: the uploads are paused; continue with &quot;orvane-upload resume&quot;.</source>
        <translation>已中断：上传已暂停；使用 &quot;orvane-upload resume&quot; 继续。</translation>
    </message>
    <message>
        <source>login failed: %1</source>
        <translation>登录失败：%1</translation>
    </message>
    <message>
        <source>E-mail: </source>
        <translation>邮箱：</translation>
    </message>
    <message>
        <source>no e-mail address given (use --email)</source>
        <translation>未提供邮箱地址（请使用 --email）</translation>
    </message>
    <message>
        <source>Password for %1: </source>
        <translation>%1 的密码：</translation>
    </message>
    <message>
        <source>no terminal to ask for the password; use --password-stdin</source>
        <translation>没有可输入密码的终端；请使用 --password-stdin</translation>
    </message>
    <message>
        <source>Logged in as %1.</source>
        <translation>已登录为 %1。</translation>
    </message>
    <message>
        <source>Not logged in.</source>
        <translation>未登录。</translation>
    </message>
    <message>
        <source>Logged out of %1.</source>
        <translation>已退出 %1。</translation>
    </message>
    <message>
        <source>not logged in; run &quot;orvane-upload login&quot; first</source>
        <translation>未登录；请先运行 &quot;orvane-upload login&quot;</translation>
    </message>
    <message>
        <source>no remembered password for %1; run &quot;orvane-upload login&quot; first</source>
        <translation>没有记住 %1 的密码；请先运行 &quot;orvane-upload login&quot;</translation>
    </message>
    <message>
        <source>cannot read the local database: %1</source>
        <translation>无法读取本地数据库：%1</translation>
    </message>
    <message>
        <source>%1 uploaded, %2 failed.</source>
        <translation>%1 个已上传，%2 个失败。</translation>
    </message>
    <message>
        <source>failed: %1: %2</source>
        <translation>失败：%1：%2</translation>
    </message>
    <message>
        <source>this account may not upload videos</source>
        <translation>此账号没有上传视频的权限</translation>
    </message>
    <message>
        <source>Nothing to resume.</source>
        <translation>没有需要继续的上传。</translation>
    </message>
    <message>
        <source>Queue of %1 (%2):</source>
        <translation>%1 的上传队列（%2）：</translation>
    </message>
    <message>
        <source>History (%1):</source>
        <translation>上传历史（%1）：</translation>
    </message>
    <message>
        <source>this account may not delete videos</source>
        <translation>此账号没有删除视频的权限</translation>
    </message>
    <message>
        <source>Deleted %1.</source>
        <translation>已删除 %1。</translation>
    </message>
    <message>
        <source>Failed: %1: %2</source>
        <translation>失败：%1：%2</translation>
    </message>
</context>
<context>
    <name>UploadRun</name>
    <message>
        <source>Failed: %1: %2</source>
        <translation>失败：%1：%2</translation>
    </message>
    <message>
        <source>no such file</source>
        <translation>文件不存在</translation>
    </message>
    <message>
        <source>the file cannot be read</source>
        <translation>文件无法读取</translation>
    </message>
    <message>
        <source>the file is empty</source>
        <translation>文件为空</translation>
    </message>
    <message>
        <source>the upload library refused the file, or the same file is already queued</source>
        <translation>上传库拒绝了该文件，或相同的文件已在队列中</translation>
    </message>
    <message>
        <source>the file was not queued</source>
        <translation>文件未能加入队列</translation>
    </message>
    <message>
        <source>Queued: %1 (%2, %3)</source>
        <translation>已加入队列：%1（%2，%3）</translation>
    </message>
    <message>
        <source>deleted</source>
        <translation>已删除</translation>
    </message>
    <message>
        <source>Uploaded: %1 (%2)</source>
        <translation>已上传：%1（%2）</translation>
    </message>
    <message>
        <source>waiting</source>
        <translation>等待中</translation>
    </message>
    <message>
        <source>paused</source>
        <translation>已暂停</translation>
    </message>
    <message>
        <source>Total: %1 uploading, %2 waiting, %3 done, %4 failed  %5 / %6 (%7%)  %8</source>
        <translation>总计：%1 个上传中，%2 个等待，%3 个完成，%4 个失败  %5 / %6（%7%）  %8</translation>
    </message>
</context>
</TS>
