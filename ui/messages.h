// The fixed texts shown to the player, as GBK bytes (the program's ANSI code page).
#pragma once

// "大区文件加载失败!"
constexpr const char kMsgListLoadFailed[] =
    "\xb4\xf3\xc7\xf8\xce\xc4\xbc\xfe\xbc\xd3\xd4\xd8\xca\xa7\xb0\xdc!";
// "Version文件错误!"
constexpr const char kMsgVersionFileError[] = "Version\xce\xc4\xbc\xfe\xb4\xed\xce\xf3!";
// "请选择大区!"
constexpr const char kMsgChooseDistrict[] = "\xc7\xeb\xd1\xa1\xd4\xf1\xb4\xf3\xc7\xf8!";
// "初始化窗口失败"
constexpr const char kMsgWindowSetUpFailed[] = "\xb3\xf5\xca\xbc\xbb\xaf\xb4\xb0\xbf\xda\xca\xa7\xb0\xdc";
// "所选大区正在维护，请稍候再试或登官网" — the official site's domain follows.
constexpr const char kMsgMaintenanceHead[] =
    "\xcb\xf9\xd1\xa1\xb4\xf3\xc7\xf8\xd5\xfd\xd4\xda\xce\xac\xbb\xa4\xa3\xac\xc7\xeb\xc9\xd4"
    "\xba\xf2\xd4\xd9\xca\xd4\xbb\xf2\xb5\xc7\xb9\xd9\xcd\xf8";
// "查看相关信息" — ends the maintenance message.
constexpr const char kMsgMaintenanceTail[] = "\xb2\xe9\xbf\xb4\xcf\xe0\xb9\xd8\xd0\xc5\xcf\xa2";

// Where the official site's domain is configured, and its value when it is not.
constexpr const char kOfficialSiteDefault[] = "www.zent.example.com";
