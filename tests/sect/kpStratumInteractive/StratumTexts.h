// The command's texts as the host's transcript shows them (UTF-8), and the transcript pieces of
// the usual steps, shared by the host-driven tests of the stratum-selection plug-in.
#pragma once
#include <string>

namespace stratumtest {

inline const std::string kBanner = "**选择顶底板生成剖面地层<选择顶底板生成剖面地层/dsi>**";
inline const std::string kPickPrompt = "请选择用于生成剖面地层的两条曲线: [ESC退出]";
inline const std::string kAskYes = "是否删除用于生成剖面地层的两条曲线？[是(Y)/否(N)] <Y>:";
inline const std::string kAskNo = "是否删除用于生成绘制剖面地层的两条曲线？[是(Y)/否(N)] <N>:";
inline const std::string kDeleted = "删除了用于生成剖面地层的两条曲线";
inline const std::string kKept = "不删除了用于生成剖面地层的两条曲线";
inline const std::string kUnrecognised = "不能识别的命令";
inline const std::string kBuilt = "**创建剖面地层成功**";
inline const std::string kBuildFailed = "**创建剖面地层失败**";
inline const std::string kCancelled = "**取消选择顶底板生成剖面地层命令**";
inline const std::string kDialogCaption = "请选择地层名称";

// "> launch dsi", the banner and the pick prompt.
inline const std::string kLaunched = "> launch dsi\n" + kBanner + "\n" + kPickPrompt + "\n";
// The dialog opened by the pick of two curves, closed with Cancel.
inline const std::string kDialogCancelled =
    "[dialog] " + kDialogCaption + "\n> dialog cancel\n[dialog] cancel\n[dialog] closed: Cancel\n";
// Launch, pick curves 1 and 2, cancel the dialog: the stratum is built and the question asked.
inline const std::string kBuildScript = "launch dsi\npick 1 2\ndialog cancel\n";
inline const std::string kBuiltAsking =
    kLaunched + "> pick 1 2\n" + kDialogCancelled + kBuilt + "\n" + kAskYes + "\n";

}  // namespace stratumtest
