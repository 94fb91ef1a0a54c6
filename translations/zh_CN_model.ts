<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>CategoryTreeModel</name>
    <message>
        <source>RenameCateNameEmpty</source>
        <translation>分类名称不能为空</translation>
    </message>
    <message>
        <source>RenameCateNameMySQLIncompatible</source>
        <translation>分类名称包含不支持的字符（如表情符号），请修改后重试</translation>
    </message>
</context>
</TS>
