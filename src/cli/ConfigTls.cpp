#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>

#include "cli/CliConfiguration.h"
#include "cli/ConfigCli.h"
#include "config/KalvoraSettings.h"
#include "config/TlsSettings.h"

namespace {

const char kTlsElsewhere[] = ", or change the station in its dialog";

struct TlsArgs {
  std::string alias;
  bool query = false;
  std::string ca, cert, key;
  bool off = false;
};

// Stored absolute: the settings are read from wherever Kalvora is started.
std::string absolutePath(const std::string& path) {
  if (path.empty()) return path;
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.lexically_normal().string();
}

std::vector<std::string> tlsRow(const std::string& name, const TlsSettings& tls) {
  if (!tls.enabled) return {name, "off", "", ""};
  return {name, tls.trustedCertificates, tls.clientCertificate, tls.clientKey};
}

const std::vector<std::string> kTlsHeader = {"Station", "Trusted certificates",
                                             "Client certificate", "Private key"};

std::vector<std::vector<std::string>> tlsRows(const KalvoraSettings& settings) {
  std::vector<std::vector<std::string>> rows;
  for (const auto& [alias, options] : settings.stations)
    if (options.tls.enabled) rows.push_back(tlsRow(alias, options.tls));
  if (settings.queryStation && settings.queryStation->tls.enabled)
    rows.push_back(tlsRow("(query)", settings.queryStation->tls));
  return rows;
}

int printTls(const ConfigCliOptions& options, const TlsArgs& args) {
  KalvoraSettings settings;
  if (auto message = loadKalvoraSettings(workingFolder(options.workDir), settings)) {
    std::cerr << *message << "\n";
    return 1;
  }
  if (args.alias.empty() && !args.query) {
    printTable(std::cout, kTlsHeader, tlsRows(settings));
    return 0;
  }
  if (args.query && !settings.queryStation) {
    std::cerr << "No query station is set up.\n";
    return 2;
  }
  const TlsSettings tls =
      args.query ? settings.queryStation->tls : stationTls(settings, args.alias);
  printTable(std::cout, kTlsHeader, {tlsRow(args.query ? "(query)" : args.alias, tls)});
  return 0;
}

int changeTls(const ConfigCliOptions& options, const TlsArgs& args) {
  TlsSettings tls;
  if (!args.off) {
    tls = {true, absolutePath(args.ca), absolutePath(args.cert), absolutePath(args.key)};
    if (auto message = validateTlsSettings(tls)) {
      std::cerr << *message << "\n";
      return 2;
    }
  }
  if (!args.query) {
    if (auto message = knownStation(options, args.alias)) {
      std::cerr << *message << "\n";
      return 2;
    }
  }
  return changeKalvoraSettings(options, kTlsElsewhere,
                               [&](KalvoraSettings& settings) -> std::optional<std::string> {
                                 if (!args.query) {
                                   settings.stations[args.alias].tls = tls;
                                   return std::nullopt;
                                 }
                                 if (!settings.queryStation)
                                   return std::string("No query station is set up.");
                                 settings.queryStation->tls = tls;
                                 return std::nullopt;
                               });
}

}  // namespace

void printTlsSettings(std::ostream& out, const KalvoraSettings& settings) {
  const std::vector<std::vector<std::string>> rows = tlsRows(settings);
  if (rows.empty()) return;
  out << "\nTLS\n";
  printTable(out, kTlsHeader, rows);
}

void addTlsCommand(CLI::App& config, const ConfigCliOptionsPtr& options, int& exitStatus) {
  auto args = std::make_shared<TlsArgs>();
  CLI::App* command = config.add_subcommand(
      "tls",
      "Print, or set, how associations with the station ALIAS (or the query station) are "
      "secured: TLS with the station's certificate checked against trusted authorities, and "
      "our own certificate and private key when the station asks for one");
  command->add_option("ALIAS", args->alias, "Alias as shown by `stations list`");
  CLI::Option* query =
      command->add_flag("--query", args->query, "The query station instead of a station ALIAS");
  CLI::Option* ca = command->add_option(
      "--ca", args->ca, "Trusted certificate authorities: a PEM file, or a folder of them");
  CLI::Option* cert =
      command->add_option("--cert", args->cert, "Our own certificate (PEM), with --key");
  CLI::Option* key = command->add_option(
      "--key", args->key, "Our private key (PEM, no pass phrase, mode 0600), with --cert");
  CLI::Option* off = command->add_flag("--off", args->off, "Plain TCP again");
  off->excludes(ca)->excludes(cert)->excludes(key);
  cert->needs(key);
  key->needs(cert);
  cert->needs(ca);
  query->excludes(command->get_option("ALIAS"));
  command->callback([options, args, ca, off, &exitStatus] {
    exitStatus = guarded([&] {
      const bool change = ca->count() > 0 || off->count() > 0;
      if (!change) return printTls(*options, *args);
      if (args->alias.empty() && !args->query) {
        std::cerr << "Name the station: ALIAS, or --query.\n";
        return 2;
      }
      return changeTls(*options, *args);
    });
  });
}
