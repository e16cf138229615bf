// Command words: the abbreviation list and the dispatch table.

#include <unordered_map>

#include "interp/commands.h"

namespace tarnel {

const std::vector<std::string_view>& CommandNameEntries() {
  static const std::vector<std::string_view> kEntries = {
      "/clear", "/highlight", "/gettime", "/getdate", "/query", "/openquery", "/closequery",
      "/play", "/type", "/sound", "/help", "/connect", "/disconnect", "/zap", "/loadprofile",
      "/load", "/profile", "/saveprofile", "/save", "/newprofile", "/set", "/while", "/break",
      "/breakall", "/if", "/dec", "/inc", "/include", "/incl", "/run", "/use", "/exec",
      "/execute", "/macros", "/vars", "/hotkeys", "/trigs", "/funcs", "/args", "/about",
      "/emulator", "/echo", "/emulate", "/do", "/send", "/cls", "/log", "/exit", "/quit", "/bye",
      "/nav", "/navigate", "/newmap", "/savemap", "/loadmap", "/location", "/flag",
      "/savestats", "/loadstats", "/clearstats", "/parsestats", "/stats", "/appendstats",
      "/highlight", "/free", "/focus", "/appendmap", "/addstats", "/getlen", "/strlen",
      "/setlen", "/getpos", "/strpos", "/copy", "/strcpy", "/insert", "/strins", "/delete",
      "/strdel", "/strclear", "/replace", "/strrepl", "/window", "/textout", "/commandline",
      "/gag", "#group", "#alias", "#action", "#bell", "#connect", "#cr", "#echo", "#hotkey",
      "#if", "#killall", "#log", "#loop", "#math", "#message", "#nop", "#read", "#showme",
      "#textin", "#tickset", "#ticksize", "#unaction", "#unalias", "#unhighlight",
      "#unvariable", "#variable", "#write", "#highlight", "#zap", "stdvars", "timers",
      "highlights", "replaces",
  };
  return kEntries;
}

CommandHandler FindCommand(std::string_view word) {
  static const std::unordered_map<std::string_view, CommandHandler> kTable = {
      // Script store.
      {"/set", CmdSet}, {"/free", CmdFree}, {"/inc", CmdInc}, {"/dec", CmdDec},
      // Profiles and script files.
      {"/loadprofile", CmdLoadProfile}, {"/load", CmdLoadProfile}, {"/profile", CmdLoadProfile},
      {"/include", CmdInclude}, {"/incl", CmdInclude}, {"/execute", CmdExecute},
      {"/exec", CmdExecute}, {"/run", CmdExecute}, {"/use", CmdExecute},
      {"/saveprofile", CmdSaveProfile}, {"/save", CmdSaveProfile}, {"/newprofile", CmdNewProfile},
      // Control flow.
      {"/if", CmdIf}, {"/while", CmdWhile}, {"/do", CmdDo}, {"/break", CmdBreak},
      {"/breakall", CmdBreakAll},
      // General commands.
      {"/echo", CmdEcho}, {"/emulate", CmdEmulate}, {"/cls", CmdCls}, {"/log", CmdLog},
      {"/clear", CmdClear}, {"/play", CmdPlay}, {"/sound", CmdPlay},
      {"/focus", CmdFocus}, {"/getdate", CmdGetDate}, {"/gettime", CmdGetTime},
      {"/strlen", CmdStrLen}, {"/getlen", CmdStrLen}, {"/length", CmdStrLen},
      {"/setlen", CmdSetLen}, {"/strpos", CmdStrPos}, {"/getpos", CmdStrPos},
      {"/strcpy", CmdStrCpy}, {"/copy", CmdStrCpy}, {"/strins", CmdStrIns},
      {"/insert", CmdStrIns}, {"/strdel", CmdStrDel}, {"/delete", CmdStrDel},
      {"/strclear", CmdStrClear}, {"/strrepl", CmdStrRepl}, {"/replace", CmdStrRepl},
      {"/type", CmdType}, {"/macros", CmdEditor}, {"/vars", CmdEditor},
      {"/trigs", CmdEditor}, {"/funcs", CmdEditor}, {"/args", CmdEditor},
      {"/hotkeys", CmdEditor}, {"/groups", CmdEditor}, {"/emulator", CmdEmulator},
      {"/about", CmdAbout}, {"/exit", CmdQuit}, {"/quit", CmdQuit}, {"/bye", CmdQuit},
      {"/nop", CmdNop}, {"/nope", CmdNop},
      // Manual.
      {"/help", CmdManual}, {"/man", CmdManual}, {"/manual", CmdManual},
      // Connection.
      {"/connect", CmdConnect}, {"/disconnect", CmdDisconnect}, {"/zap", CmdDisconnect},
      {"/send", CmdSend}, {"/snd", CmdSend}, {"/forgetcert", CmdForgetCertificate},
      // Display filter.
      {"/highlight", CmdHighlight}, {"/gag", CmdGag},
      // Map.
      {"/newmap", CmdNewMap}, {"/loadmap", CmdLoadMap}, {"/savemap", CmdSaveMap},
      {"/appendmap", CmdAppendMap}, {"/location", CmdLocation}, {"/navigate", CmdNavigate},
      {"/nav", CmdNavigate}, {"/flag", CmdFlag},
      // Stats database.
      {"/stats", CmdStats}, {"/addstats", CmdAddStats}, {"/parsestats", CmdParseStats},
      {"/loadstats", CmdLoadStats}, {"/savestats", CmdSaveStats}, {"/appendstats", CmdAppendStats},
      {"/clearstats", CmdClearStats},
      // Query and output windows.
      {"/query", CmdQuery}, {"/openquery", CmdOpenQuery}, {"/closequery", CmdCloseQuery},
      {"/window", CmdWindow}, {"/textout", CmdTextOut}, {"/commandline", CmdCommandLine},
  };
  const auto it = kTable.find(word);
  return it == kTable.end() ? nullptr : it->second;
}

}  // namespace tarnel
