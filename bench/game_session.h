// A game session as the benchmarks of the incoming road play it: a
// Windows-1251 transcript (colours, prompts ended by GA, doubled 0xFF bytes)
// sent as an MCCP2 stream in realistic reads, and a player's script load
// (triggers, highlights, replaces).
#pragma once

#include <zlib.h>

#include <ctime>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "interp/client.h"
#include "interp/host.h"
#include "text/cp1251.h"

namespace tarnel::bench {

using namespace tarnel::literals;

class BenchHost : public Host {
 public:
  std::tm Now() const override {
    std::tm t{};
    t.tm_mday = 1;
    t.tm_year = 126;
    return t;
  }
};

inline std::string S(std::string_view cp1251) { return std::string(cp1251); }

// The game's output as the server writes it, one write per element.
inline std::vector<std::string> TranscriptWrites(std::size_t size) {
  std::mt19937 rng(4000);
  auto pick = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
  const std::vector<std::string> rooms = {S("Таверна \"Пьяный тролль\""_cp),
                                          S("Торговая площадь"_cp), S("Тёмный лес"_cp),
                                          S("У северных ворот"_cp), S("Заячья поляна"_cp)};
  const std::vector<std::string> descriptions = {
      S("Вы находитесь в уютной таверне, где пахнет элем и жареным мясом."_cp),
      S("Узкая тропа петляет между старыми елями, уходя на север, к реке."_cp),
      S("Шумная толпа торговцев расхваливает свой товар на все лады."_cp),
      S("Каменные стены ворот покрыты мхом и следами от стрел, а у моста стоят часовые."_cp),
      S("Маленькая поляна, заросшая клевером; где-то рядом журчит ручей."_cp)};
  const std::vector<std::string> mobs = {S("Гоблин"_cp), S("Старый волк"_cp), S("Стражник"_cp),
                                         S("Разбойник"_cp), S("Заяц"_cp)};
  const std::vector<std::string> items = {S("ржавый меч"_cp), S("кожаный шлем"_cp),
                                          S("малое зелье лечения"_cp), S("свиток возврата"_cp),
                                          S("яблоко"_cp)};
  const std::vector<std::string> names = {S("Ратибор"_cp), S("Всеслава"_cp), S("Ярополк"_cp),
                                          S("Любава"_cp)};
  const std::vector<std::string> talk = {S("кто идёт в лес?"_cp), S("у меня есть лишнее зелье"_cp),
                                         S("давайте соберёмся у ворот"_cp),
                                         S("я скоро вернусь"_cp)};
  const std::vector<std::string> hits = {S("легонько ударили"_cp), S("сильно рубанули"_cp),
                                         S("очень сильно ударили"_cp)};

  std::vector<std::string> writes;
  std::size_t total = 0;
  int hp = 120, mv = 95, exp = 123456;
  while (total < size) {
    std::string w;
    switch (pick(5)) {
      case 0: {
        w += "\x1b[1;36m" + rooms[pick(rooms.size())] + "\x1b[0m\r\n";
        for (std::size_t k = 0, n = 1 + pick(3); k < n; ++k)
          w += "   " + descriptions[pick(descriptions.size())] + "\r\n";
        w += S("\x1b[0;36m[ Выходы: с ю з в ]\x1b[0m\r\n"_cp);
        for (std::size_t k = 0, n = pick(3); k < n; ++k)
          w += "\x1b[1;33m" + mobs[pick(mobs.size())] + S(" стоит здесь.\x1b[0m\r\n"_cp);
        for (std::size_t k = 0, n = pick(3); k < n; ++k)
          w += "\x1b[0;32m" + items[pick(items.size())] + S(" лежит здесь.\x1b[0m\r\n"_cp);
        break;
      }
      case 1: {
        const std::string& mob = mobs[pick(mobs.size())];
        for (std::size_t k = 0, n = 2 + pick(4); k < n; ++k) {
          w += S("Вы "_cp) + hits[pick(hits.size())] + " " + mob + ".\r\n";
          w += "\x1b[1;31m" + mob + S(" сильно укусил вас.\x1b[0m\r\n"_cp);
          hp = 40 + static_cast<int>(pick(90));
        }
        if (pick(2) == 0)
          w += S("Вы получили "_cp) + std::to_string(50 + pick(500)) + S(" опыта.\r\n"_cp);
        break;
      }
      case 2:
        w += "\x1b[1;32m" + names[pick(names.size())] + S(" говорит: '"_cp) +
             talk[pick(talk.size())] + "'\x1b[0m\r\n";
        break;
      case 3:
        w += "\x1b[0;33m" + names[pick(names.size())] + S(" дружине: '"_cp) +
             talk[pick(talk.size())] + "'\x1b[0m\r\n";
        break;
      default: w += S("Вы видите неясные очертания в тумане.\r\n"_cp); break;
    }
    exp += static_cast<int>(pick(50));
    mv = 60 + static_cast<int>(pick(40));
    w += "\x1b[0;32m" + std::to_string(hp) + "H\x1b[0m \x1b[0;33m" + std::to_string(mv) +
         "M\x1b[0m " + std::to_string(exp) + S("o Зауч:0 Вых:СЮЗВ> "_cp) + "\xFF\xF9";
    // A 0xFF data byte (the letter "я") goes on the wire doubled.
    std::string wire;
    wire.reserve(w.size() + 16);
    for (std::size_t k = 0; k < w.size(); ++k) {
      wire += w[k];
      const bool ga = k + 1 < w.size() && w[k] == '\xFF' && w[k + 1] == '\xF9';
      if (ga) {
        wire += w[++k];
      } else if (w[k] == '\xFF') {
        wire += '\xFF';
      }
    }
    total += wire.size();
    writes.push_back(std::move(wire));
  }
  return writes;
}

struct Wire {
  std::vector<std::string> reads;  // as the socket delivers them
  std::size_t text_bytes = 0;      // the transcript before compression
};

// The offer, the start of compression and the stream, flushed after every
// write; writes that follow each other closely come in one read.
inline Wire CompressedSession(std::size_t size) {
  const std::vector<std::string> writes = TranscriptWrites(size);
  Wire wire;
  z_stream z{};
  deflateInit(&z, Z_DEFAULT_COMPRESSION);
  std::mt19937 rng(56);
  std::string read = "\xFF\xFB\x56\xFF\xFA\x56\xFF\xF0";
  std::size_t read_target = 1024;
  for (const std::string& w : writes) {
    wire.text_bytes += w.size();
    std::string out(deflateBound(&z, static_cast<uLong>(w.size())) + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(w.data()));
    z.avail_in = static_cast<uInt>(w.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_SYNC_FLUSH);
    out.resize(out.size() - z.avail_out);
    read += out;
    if (read.size() >= read_target) {
      wire.reads.push_back(std::move(read));
      read.clear();
      read_target = 256 + rng() % 8192;
    }
  }
  if (!read.empty()) wire.reads.push_back(std::move(read));
  deflateEnd(&z);
  return wire;
}

inline const Wire& Session() {
  static const Wire wire = CompressedSession(10 * 1000 * 1000);
  return wire;
}

// Ten triggers that fire all the time, with captures and a "/set"; the
// rest (triggers - 10 of them) wait for rarer things, and one in six names
// the current target.  Twenty highlights and ten replaces.
inline void LoadScripts(Client& client, int triggers = 100) {
  TStringList& trig = client.store.Triggers();
  // Ten that fire all the time, with captures and a "/set".
  for (std::string_view t : {
           "default.%1 говорит: '%2'=/set lastsay={%1: %2}"_cp,
           "default.^Вы %1 %2.$=/set lasthit={%2}"_cp,
           "default.%1 сильно укусил вас.=/set bitten={%1}"_cp,
           "default.%1H %2M %3o Зауч=/set hp={%1};/set mv={%2}"_cp,
           "default.[ Выходы: %1 ]=/set exits={%1}"_cp,
           "default.%1 лежит здесь.=/set item={%1}"_cp,
           "default.%1 стоит здесь.=/set mob={%1}"_cp,
           "default.%1 дружине: '%2'=/set grp={%2}"_cp,
           "default./esc[1;36m%1/esc[0m=/set room={%1}"_cp,
           "default.Вы получили %1 опыта.=/set exp={%1}"_cp,
       })
    trig.Add(std::string(t));
  client.store.Variables().Add("default.target=" + S("тролль"_cp));
  for (int k = 0; k < triggers - 10; ++k) {
    std::string t;
    switch (k % 6) {
      case 0:
        t = S("default.^Вас приглашают в группу "_cp) + std::to_string(k) + " %1.$=/set inv={%1}";
        break;
      case 1: t = S("default.%1 умер"_cp) + std::to_string(k) + "!=/set dead={%1}"; break;
      case 2: t = S("default.^Вы проголодались "_cp) + std::to_string(k) + ".$=/set food=1"; break;
      case 3:
        t = "default.%target " + S("нападает "_cp) + std::to_string(k) + "=/set alarm=1";
        break;
      case 4:
        t = "group" + std::to_string(k) + S(".%1 прибыл с "_cp) + std::to_string(k) +
            "=/set arrived={%1}";
        client.store.Groups().Add("group.group" + std::to_string(k) + (k % 4 ? "=on" : "=off"));
        break;
      default: t = S("default.Вы хотите пить "_cp) + std::to_string(k) + "=/set drink=1"; break;
    }
    trig.Add(t);
  }
  TStringList& vars = client.store.Variables();
  const std::vector<std::string> words = {
      S("Гоблин"_cp), S("волк"_cp),   S("зелье"_cp), S("меч"_cp),    S("Ратибор"_cp),
      S("ворот"_cp),  S("укусил"_cp), S("опыта"_cp), S("таверн"_cp), S("лес"_cp)};
  for (int k = 0; k < 20; ++k)
    vars.Add("highlights." + words[static_cast<std::size_t>(k) % words.size()] +
             std::to_string(k / 10) + (k % 2 ? "=1 11 /w" : "=4"));
  for (int k = 0; k < 10; ++k)
    vars.Add("replaces." + words[static_cast<std::size_t>(k)] + "=" + S("Некто"_cp));
}

}  // namespace tarnel::bench
