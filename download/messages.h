// The texts the download shows the user, shared by the window and the command line.
#pragma once

#include <string_view>

namespace zklog::download {

inline constexpr std::string_view kApplicationTitle = "LOG do ZKA / ZKB";

inline constexpr std::string_view kMsgPortOpenFailed = "Erro ao abrir porta COM.";
inline constexpr std::string_view kTitlePortOpenFailed = "Erro";
inline constexpr std::string_view kMsgReadFailed = "Erro ao ler o LOG";
inline constexpr std::string_view kMsgEmptyLog = "O LOG está vazio!";
inline constexpr std::string_view kMsgCompleted = "Dados gravados com sucesso";
inline constexpr std::string_view kMsgInvalidPort = "Porta COM inválida.";
inline constexpr std::string_view kMsgInvalidAddress = "Endereço inválido.";
// Followed by the database engine's own text.
inline constexpr std::string_view kMsgDatabaseError = "Erro ao gravar o LOG no banco de dados: ";
// zklog-cli, when the database file cannot be opened at all (the window reports that at load).
inline constexpr std::string_view kMsgDatabaseOpenFailed = "Erro ao abrir o banco de dados: ";

inline constexpr std::string_view kProgressPrefix = "Lendo registro ";
inline constexpr std::string_view kProgressSuffix = "...";
inline constexpr std::string_view kStatusEnd = " FIM";
inline constexpr std::string_view kStatusError = "Erro";

} // namespace zklog::download
