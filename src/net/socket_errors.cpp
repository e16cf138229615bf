// Socket errors in the player's words.

#include <cerrno>

#include "net/connection.h"
#include "text/cp1251.h"

namespace tarnel {

using namespace literals;

std::string_view SocketErrorText(int code) {
  switch (code) {
    case kHostNotFound: return "узел не найден"_cp;
    case ECONNREFUSED: return "соединение отвергнуто"_cp;
    case ECONNRESET: return "соединение сброшено"_cp;
    case ECONNABORTED: return "соединение прервано"_cp;
    case EHOSTUNREACH: return "узел недоступен"_cp;
    case ENETUNREACH: return "сеть недоступна"_cp;
    case ENETDOWN: return "сеть не работает"_cp;
    case ETIMEDOUT: return "время ожидания истекло"_cp;
    case EACCES: return "доступ запрещён"_cp;
    case EMFILE: return "слишком много открытых файлов"_cp;
    case EMSGSIZE: return "слишком длинное сообщение"_cp;
    case EADDRINUSE: return "адрес уже используется"_cp;
    case EADDRNOTAVAIL: return "адрес недоступен"_cp;
    case EOPNOTSUPP: return "операция не поддерживается"_cp;
    case EALREADY: return "операция уже выполняется"_cp;
    case EAGAIN: return "ресурс временно недоступен"_cp;
    case EPROTO: return "ошибка протокола"_cp;
    case EINVAL: return "недопустимый аргумент"_cp;
    case EIO: return "ошибка ввода-вывода"_cp;
    case EPIPE: return "канал закрыт"_cp;
    default: return {};
  }
}

}  // namespace tarnel
