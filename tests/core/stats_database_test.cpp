// Records as they are stored and the table as it is printed, below the
// commands: exact record texts, the pieces of a long table, lookups.

#include "stats/stats_database.h"

#include <gtest/gtest.h>

#include "test_host.h"
#include "text/cp1251.h"

namespace tarnel::test {
namespace {

using namespace literals;

TEST(StatsRecords, NormalisedAsStored) {
  struct {
    std::string_view in, out;
  } cases[] = {
      {"ломоть  хлеба , Тип : ЕДА ,Цена: 1 ,"_cp, "ломоть хлеба,Тип:ЕДА,Цена:1,"_cp},
      {"   меч,,,Вес:3 ,  , Урон :  2d4 ,,  "_cp, "меч,Вес:3,Урон:2d4,"_cp},
      {"a", "a,"},
      {"a :b: c", "a:b:c,"},
      {"", ","},
      {" , ,x", ",x,"},
      // Only blanks are touched: other white space stays.
      {"a\t,\tb", "a\t,\tb,"},
  };
  for (const auto& c : cases) EXPECT_EQ(NormaliseStats(c.in), c.out) << c.in;
  for (const auto& c : cases) EXPECT_EQ(NormaliseStats(c.out), c.out) << c.out;
}

TEST(StatsRecords, StoredUnderTheItemNameAndReplaced) {
  TestHost h;
  Client c(h);
  EXPECT_TRUE(StoreStats(c.StatsList, "меч , Вес:3"_cp));
  EXPECT_TRUE(StoreStats(c.StatsList, "щит,Вес:9"_cp));
  EXPECT_TRUE(StoreStats(c.StatsList, "МЕЧ,Вес:4"_cp));
  EXPECT_EQ(c.StatsList.Lines(), (std::vector<std::string>{std::string("МЕЧ=МЕЧ,Вес:4,"_cp),
                                                           std::string("щит=щит,Вес:9,"_cp)}));
  // The lookup of the pop-up: the whole name, letter case aside.
  EXPECT_EQ(StatsValue(c, "меч"_cp), std::string("МЕЧ,Вес:4,"_cp));
  EXPECT_EQ(StatsValue(c, "ме"_cp), "");
  EXPECT_EQ(StatsValue(c, ""), "");
  // The collected text of a parse goes the same way.
  c.ParseStats(" кинжал,тип:ОРУЖИЕ,Вес: 1"_cp);
  c.ParseStats(",,"_cp);
  EXPECT_EQ(StatsValue(c, "кинжал"_cp), std::string("кинжал,тип:ОРУЖИЕ,Вес:1,"_cp));
  EXPECT_EQ(c.StatsList.Count(), 3);
}

TEST(StatsTable, ALongTableIsPrintedInPiecesOfWholeRecords) {
  TestHost h;
  Client c(h);
  for (int i = 0; i < 300; ++i)
    StoreStats(c.StatsList, "item" + std::to_string(1000 + i) + std::string(",Вес:"_cp) +
                                std::to_string(i) + std::string(",Тип:ПРЕДМЕТ"_cp));
  const std::vector<std::string> pieces = StatsReport(c.StatsList, "*", 80);
  ASSERT_GT(pieces.size(), 3u);
  const std::string dashes = std::string(76, '-') + "\r\n";
  std::string whole;
  for (std::size_t i = 0; i + 1 < pieces.size(); ++i) {
    EXPECT_GE(pieces[i].size(), 2048u);
    // A piece is cut only after a record's dashed line, and soon after the
    // mark is reached.
    EXPECT_EQ(pieces[i].substr(pieces[i].size() - dashes.size()), dashes);
    EXPECT_LT(pieces[i].size(), 2048u + 200u);
    whole += pieces[i];
  }
  whole += pieces.back();
  EXPECT_EQ(
      whole.rfind("\x1b[1;37mИтого по запросу: \x1b[0;37m300\r\n"_cp),
      whole.size() - std::string_view("\x1b[1;37mИтого по запросу: \x1b[0;37m300\r\n"_cp).size());
  EXPECT_EQ(whole.find("\r\n\x1b[1;32mitem1000 \x1b[0;37mВес: 0\r\n"_cp), 0u);

  // Printed through the command, the pieces reach the terminal in order.
  c.main_screen.ScreenCols = 30;
  c.ExecuteCommand("/stats item1299,вес"_cp, false);
  EXPECT_EQ(Render(h.main), "\n\\e[1;32mitem1299 \\e[0;37mВес: 299\n" + std::string(26, '-') +
                                "\n\\e[1;37mИтого по запросу: \\e[0;37m1\n");
}

TEST(StatsTable, NarrowTerminalsAndOddRecords) {
  TestHost h;
  Client c(h);
  // Lines as a hand-edited file may hold them: blanks after ":", no final
  // ",", no "=" at all.
  c.StatsList.Add(std::string("лук=лук,Вес: 2,Дальность:  5"_cp));
  c.StatsList.Add(std::string("мусор"_cp));
  const std::vector<std::string> pieces = StatsReport(c.StatsList, "лук,*"_cp, 2);
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_EQ(Render(pieces[0]),
            "\n\\e[1;32mлук \\e[0;37m      Вес: 2\n"
            "    Дальность: 5\n"
            "\n"
            "\\e[1;37mИтого по запросу: \\e[0;37m1\n");
  // An empty query is one empty term: everything, every field.
  EXPECT_NE(StatsReport(c.StatsList, "", 80).back().find("\x1b[0;37m2\r\n"), std::string::npos);
}

}  // namespace
}  // namespace tarnel::test

namespace tarnel::test {
namespace {

using namespace literals;

TEST(ItemTrigger, GameTextNeverRunsCommandsThroughTheItemTrigger) {
  TestHost host;
  Client client(host);
  client.DefaultProfile();
  client.store.Variables().SetValue("global._logfile", "");
  client.ExecuteCommand("/connect mud 4000", false);
  client.connection.OnConnected();
  host.sent.clear();
  host.main.clear();
  // A name with ";" and "%" as another player could make the game say it.
  std::string line = Cp("Предмет \"a;/echo INJECTED;x%hp\", тип : ОРУЖИЕ\r\nВес : 5\r\n>"_cp);
  client.incoming.ProcessIncoming(line + "\r\n");
  EXPECT_TRUE(host.sent.empty());
  EXPECT_EQ(host.main.find("INJECTED\r\n"), std::string::npos) << Render(host.main);
  // The record is stored under the name exactly as the game said it.
  EXPECT_NE(client.StatsList.GetValue("a;/echo INJECTED;x%hp"), "") << Render(client.StatsList.Text());
}

}  // namespace
}  // namespace tarnel::test
