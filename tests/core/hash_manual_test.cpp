// The "#" dialect's translations and the manual command's lookups.

#include <gtest/gtest.h>

#include "interp/commands.h"
#include "interp/hash_dialect.h"
#include "test_host.h"
#include "text/cp1251.h"

namespace tarnel::test {
namespace {

using namespace literals;

class HashDialect : public ::testing::Test {
 protected:
  void SetUp() override {
    c.DefaultProfile();
    c.store.Variables().SetValue("global._logfile", "");
  }
  std::string T(std::string_view statement) { return TranslateHash(c, statement, false, locals, funcs); }

  TestHost host;
  Client c{host};
  TStringList locals, funcs;
};

TEST_F(HashDialect, TheTranslationTable) {
  EXPECT_EQ(T("#al {k} {kill %1} {fight}"), "/set macro {fight.k}={kill %1}");
  EXPECT_EQ(T("#alias k {kill %1}"), "/set macro {.k}={kill %1}");  // no group: ".k" as written
  // The group is the fourth word (the third is a priority).
  EXPECT_EQ(T("#action {%1 говорит: %2} {#showme %1 said %2} {5} {chat}"_cp),
            Cp("/set trig {chat.%1 говорит: %2}={#showme %1 said %2}"_cp));
  EXPECT_EQ(T("#var {hp} {100}"), "/set {hp}={100}");
  EXPECT_EQ(T("#variable {hp} {100}"), T("#var {hp} {100}"));
  EXPECT_EQ(T("#var hp $x"), "/set {hp}={%x}");
  EXPECT_EQ(T("#showme a %%%b $$c"), "/echo a %b %c");
  EXPECT_EQ(T("#3 north"), "/3 north");
  EXPECT_EQ(T("#group enable fight"), "/set group fight=on");
  EXPECT_EQ(T("#group disable fight"), "/set group fight=off");
  EXPECT_EQ(T("#group toggle fight"), "");
  EXPECT_EQ(T("#highlight {light red,blue} {orc}"), "/set {highlights.orc}={4 1 /w}");
  EXPECT_EQ(T("#highlight {green} {elf}"), "/set {highlights.elf}={0 2 /w}");
  EXPECT_EQ(T("#log game.txt"), "/set global._logfile=\"game.txt\"");
  EXPECT_EQ(T("#if {%hp<10} {flee}"), "/if (%hp<10) {flee}");
  EXPECT_EQ(T("#hotkey F5 {kill orc}"), "/set hotkey F5={kill orc}");
  EXPECT_EQ(T("#message hp"), "/echo hp is now set to %hp");
  EXPECT_EQ(T("#unaction {x}"), "/free trig {x}");
  EXPECT_EQ(T("#unhighlight orc"), "/free {highlights.orc}");
  EXPECT_EQ(T("#ticksize 60"), "/set global._tick=60");
  EXPECT_EQ(T("#zap"), "/disconnect");
  EXPECT_EQ(T("#cr"), "/do");
  EXPECT_EQ(T("#a x y z w"), "/set trig {w.x}={y}");  // "#a" is "#action", first in order
  EXPECT_EQ(HashColour("LIGHT Cyan"), 6);
  EXPECT_EQ(HashColour(""), 0);
}

TEST_F(HashDialect, UnsupportedWordsAreReportedAndRunNothing) {
  for (const char* statement : {"#0 north", "#foo", "#12a"}) {
    host.main.clear();
    EXPECT_EQ(T(statement), "") << statement;
    std::string word = std::string(statement).substr(1);
    if (word.find(' ') != std::string::npos) word.erase(word.find(' '));
    std::string message;
    message += "Ошибка: команда #"_cp;
    message += word;
    message += " не поддерживается"_cp;
    EXPECT_EQ(host.main, c.output.SystemMessage(message)) << statement;
  }
  // Through the interpreter, a "/#" statement too; the empty result does
  // nothing more.
  host.main.clear();
  c.ExecuteCommand("/#foo", false);
  EXPECT_EQ(TestHost().main, "");
  EXPECT_EQ(host.main.find("Неизвестная"_cp), std::string::npos);
}

TEST_F(HashDialect, AnOldProfileRunsAndTheLoopLeavesNothingBehind) {
  c.ExecuteCommand("#action {%1 говорит: %2} {#showme %1 said %2} {chat}"_cp, false);
  host.main.clear();
  c.ExecuteCommand("/emulate {Вася говорит: привет}"_cp, false);
  EXPECT_NE(host.main.find(Cp("Вася said привет"_cp)), std::string::npos) << host.main;

  c.ExecuteCommand("#variable {n} {0}", false);
  c.ExecuteCommand("#loop {1,3} {/inc n;/set last=%0}", false);
  EXPECT_EQ(c.store.Var("default.n"), "3");
  EXPECT_EQ(c.store.Var("default.last"), "3");
  EXPECT_EQ(c.store.Macros().IndexOfName("jmc._jmcloop"), -1);
  EXPECT_EQ(c.store.Variables().IndexOfName("jmc._jmcloopcount"), -1);
}

class ManualCommand : public HashDialect {
 protected:
  std::string Man(std::string_view line) {
    host.main.clear();
    c.ExecuteCommand(line, false);
    return host.main;
  }
  std::string Heading(std::string_view topic) { return "\r\n\x1b[1;37m** " + std::string(topic) + "\x1b[0;37m\r\n"; }
};

TEST_F(ManualCommand, TopicsRedirectsAndTheOverview) {
  const std::string overview = ManualOverview();
  // A redirect shows its target under the target's name; case, "/" and
  // "<...>" do not matter; the first word counts.
  EXPECT_EQ(Man("/man load").find(Heading("loadprofile")), 0u);
  EXPECT_EQ(Man("/man /set").find(Heading("set")), 0u);
  EXPECT_EQ(Man("/man <set>").find(Heading("set")), 0u);
  EXPECT_EQ(Man("/help {set var};x").find(Heading("set")), 0u);
  EXPECT_EQ(Man("/manual SET").find(Heading("SET")), 0u);
  const std::string set_text = Man("/man set");
  EXPECT_NE(set_text.find("/man "_cp), std::string::npos);
  EXPECT_EQ(set_text.find(overview), std::string::npos);
  // Nothing found, or nothing asked: the overview.
  EXPECT_EQ(Man("/man nosuchtopic"), overview + "\r\n");
  EXPECT_EQ(Man("/man"), overview + "\r\n");
  EXPECT_EQ(overview.rfind("\r\n\x1b[0;37m", 0), 0u);
  EXPECT_NE(overview.find("Доп.разделы справки: news, stdvars, timers, replaces"_cp), std::string::npos);
  // "about" is "/about".
  EXPECT_NE(Man("/man about").find("Tarnel"), std::string::npos);
}

TEST_F(ManualCommand, ThePlayersOwnTopics) {
  c.ExecuteCommand("/set manual.mytopic={Мой раздел}"_cp, false);
  c.ExecuteCommand("/set manual.other=text", false);
  const std::string all = Man("/man");
  std::string listed;
  listed += "\r\nПодключены внешние разделы (\"/man имя раздела\" для справки):\r\n  "_cp;
  listed += "\x1b[1;37mmytopic\x1b[0;37m, \x1b[1;37mother\x1b[0;37m\r\n";
  EXPECT_NE(all.find(listed), std::string::npos) << all;
  EXPECT_EQ(Man("/man mytopic"), Cp("Мой раздел\r\n\r\n"_cp));
  // After a built-in text of the same name.
  c.ExecuteCommand("/set manual.set=mine", false);
  const std::string both = Man("/man set");
  EXPECT_EQ(both.find(Heading("set")), 0u);
  EXPECT_NE(both.find("mine\r\n"), std::string::npos);
}

}  // namespace
}  // namespace tarnel::test
