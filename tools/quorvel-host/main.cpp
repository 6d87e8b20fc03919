// quorvel-host: writes what the host application would (holdings into the
// shared store, the theme into the widget extension's standard store) and
// reads the stored snapshot. Exit status: 0 done, 1 store error, 2 usage
// error or bad input.
#include <CLI/CLI.hpp>
#include <cctype>
#include <charconv>
#include <cmath>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/foundation/decimal.h"
#include "platform/foundation/file_access.h"
#include "platform/foundation/output_file.h"
#include "platform/foundation/user_defaults.h"
#include "platform/objectstore/realm.h"
#include "store/portfolio.h"
#include "store/records.h"
#include "store/shared_realm_configuration.h"
#include "store/snapshot_store.h"
#include "views/theme_colors.h"
#include "widgets/quorvel_widgets.h"

namespace {

using platform::foundation::Status;
using platform::objectstore::Realm;

constexpr int kExitStore = 1;
constexpr int kExitUsage = 2;

struct UsageError {
  std::string message;
};
struct StoreError {
  std::string message;
};

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// The shortest text that reads back to the same double.
std::string numberText(double value) {
  char buffer[64];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return error == std::errc() ? std::string(buffer, end) : std::to_string(value);
}

void checkSymbol(const std::string& symbol, const std::string& what) {
  if (symbol.empty()) throw UsageError{what + " is empty"};
  for (char c : symbol) {
    if (!std::isalnum(static_cast<unsigned char>(c))) {
      throw UsageError{what + " \"" + symbol + "\" may hold only letters and digits"};
    }
  }
}

double checkAmount(const std::string& text) {
  const std::optional<double> amount = platform::foundation::parseDecimal(text);
  if (!amount || *amount < 0) {
    throw UsageError{"amount \"" + text + "\" is not a finite number of at least 0"};
  }
  return *amount;
}

// The symbol's quote suffix, if it ends in a known one and has more before it.
std::string quoteSuffix(const std::string& upperSymbol) {
  for (const char* quote : {"USDT", "USDC", "BUSD", "BTC", "ETH", "BNB"}) {
    const std::string suffix(quote);
    if (upperSymbol.size() > suffix.size() &&
        upperSymbol.compare(upperSymbol.size() - suffix.size(), suffix.size(), suffix) == 0) {
      return suffix;
    }
  }
  return "";
}

quorvel::PortfolioPair makeHolding(const std::string& symbol, double amount,
                                   std::optional<std::string> base,
                                   std::optional<std::string> price,
                                   std::optional<std::string> change) {
  checkSymbol(symbol, "symbol");
  const std::string upperSymbol = upper(symbol);
  const std::string quote = quoteSuffix(upperSymbol);
  std::string baseAsset =
      base ? upper(*base) : upperSymbol.substr(0, upperSymbol.size() - quote.size());
  checkSymbol(baseAsset, "base asset");
  if (price && !platform::foundation::parseDecimal(*price))
    throw UsageError{"price \"" + *price + "\" is not a finite number"};
  if (change && !platform::foundation::parseDecimal(*change))
    throw UsageError{"change \"" + *change + "\" is not a finite number"};
  quorvel::PortfolioPair holding;
  holding.symbol = symbol;
  holding.baseAsset = baseAsset;
  if (!quote.empty()) holding.quoteAsset = quote;
  holding.lastPrice = price;
  holding.priceChange = change;
  holding.amount.value = amount;
  return holding;
}

Realm openStore() {
  auto realm = Realm::open(quorvel::sharedRealmConfiguration());
  if (!realm.ok())
    throw StoreError{"cannot open the shared store: " + realm.status.localizedDescription()};
  return std::move(*realm.value);
}

void check(const Status& status, const std::string& doing) {
  if (!status.ok()) throw StoreError{"cannot " + doing + ": " + status.localizedDescription()};
}

std::vector<quorvel::PortfolioPair> readHoldings(const Realm& realm) {
  auto holdings = realm.objects<quorvel::PortfolioPair>();
  check(holdings.status, "read the holdings");
  return std::vector<quorvel::PortfolioPair>(holdings.value->begin(), holdings.value->end());
}

void saveAll(const std::vector<quorvel::PortfolioPair>& holdings) {
  Realm realm = openStore();
  check(realm.write([&](Realm::WriteTransaction& tx) {
    for (const auto& holding : holdings) {
      if (Status status = tx.add(holding); !status.ok()) return status;
    }
    return Status::okStatus();
  }),
        "write the holdings");
}

void listHoldings() {
  Realm realm = openStore();
  for (const auto& holding : readHoldings(realm)) {
    const std::optional<double> amount = holding.amount.value;
    std::cout << holding.symbol.value_or("-") << ' ' << holding.baseAsset.value_or("-") << ' '
              << (amount ? numberText(*amount) : std::string("-")) << '\n';
  }
}

void removeHolding(const std::string& baseText) {
  const std::string base = upper(baseText);
  Realm realm = openStore();
  bool found = false;
  for (const auto& holding : readHoldings(realm)) found = found || holding.baseAsset == base;
  if (!found) throw StoreError{"no holding of " + base};
  check(realm.write([&](Realm::WriteTransaction& tx) {
    return tx.remove<quorvel::PortfolioPair>(platform::objectstore::Value(base));
  }),
        "remove the holding");
}

std::vector<quorvel::PortfolioPair> readImport(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw UsageError{"cannot read " + path};
  std::stringstream buffer;
  buffer << in.rdbuf();
  nlohmann::json document = nlohmann::json::parse(buffer.str(), nullptr, false);
  if (document.is_discarded()) throw UsageError{path + " is not JSON"};
  if (!document.is_array())
    throw UsageError{path + " must hold a JSON array of {\"symbol\",\"amount\"[,\"base\"]}"};
  std::vector<quorvel::PortfolioPair> holdings;
  for (std::size_t index = 0; index < document.size(); ++index) {
    const nlohmann::json& item = document[index];
    const std::string where = "element " + std::to_string(index) + " of " + path;
    try {
      if (!item.is_object()) throw UsageError{"is not an object"};
      if (!item.contains("symbol") || !item["symbol"].is_string())
        throw UsageError{"needs a string \"symbol\""};
      if (!item.contains("amount") || !item["amount"].is_number())
        throw UsageError{"needs a number \"amount\""};
      const double amount = item["amount"].get<double>();
      if (!std::isfinite(amount) || amount < 0)
        throw UsageError{"amount must be a finite number of at least 0"};
      std::optional<std::string> base;
      if (item.contains("base")) {
        if (!item["base"].is_string()) throw UsageError{"\"base\" must be a string"};
        base = item["base"].get<std::string>();
      }
      holdings.push_back(
          makeHolding(item["symbol"].get<std::string>(), amount, base, std::nullopt, std::nullopt));
    } catch (const UsageError& error) {
      throw UsageError{where + ": " + error.message};
    }
  }
  return holdings;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Stand-in for the Quorvel app: writes holdings into the shared store and the widget theme, "
      "and reads the widget snapshot. The store lives under $QUORVEL_HOME (else the XDG data "
      "home)."};
  app.footer("Exit status: 0 done, 1 store error, 2 usage error or bad input.");
  app.require_subcommand(1, 1);

  CLI::App* holdings =
      app.add_subcommand("holdings", "Change or list the holdings")->require_subcommand(1, 1);
  std::string symbol, amountText, base, price, change, file, theme;
  CLI::App* add =
      holdings->add_subcommand("add", "Add a holding, or replace the one of the same base asset");
  add->add_option("SYMBOL", symbol, "Trading pair, e.g. BTCUSDT")->required();
  add->add_option("AMOUNT", amountText, "Quantity held, a finite number >= 0")->required();
  add->add_option(
      "--base", base,
      "Base asset (default: SYMBOL upper-cased minus a USDT/USDC/BUSD/BTC/ETH/BNB suffix)");
  add->add_option("--price", price, "Last price, stored as the holding's own price");
  add->add_option("--change", change, "24-hour price change, stored with the holding");
  holdings->add_subcommand("list", "Print one line per holding: symbol, base, amount");
  CLI::App* remove = holdings->add_subcommand("remove", "Remove the holding of a base asset");
  remove->add_option("BASE", base, "Base asset, e.g. BTC")->required();
  CLI::App* import =
      holdings->add_subcommand("import", "Add every holding of a JSON file, all or none");
  import->add_option("FILE", file, "JSON array of {\"symbol\":…,\"amount\":…[,\"base\":…]}")
      ->required();

  CLI::App* themeCommand =
      app.add_subcommand("theme", "Set or show the widgets' theme")->require_subcommand(1, 1);
  themeCommand->add_subcommand("set", "Set the theme")
      ->add_option("THEME", theme, "light, dark or system")
      ->required()
      ->check(CLI::IsMember({"light", "dark", "system"}));
  themeCommand->add_subcommand("show", "Print the stored theme, or \"system\" when none is stored");

  CLI::App* snapshot =
      app.add_subcommand("snapshot", "Read the widgets' stored snapshot")->require_subcommand(1, 1);
  snapshot->add_subcommand("show", "Print the snapshot JSON, or \"no snapshot\"");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e, std::cerr, std::cerr);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e, std::cerr, std::cerr);
  } catch (const CLI::ParseError& e) {
    app.exit(e, std::cerr, std::cerr);
    return kExitUsage;
  }

  try {
    if (holdings->parsed()) {
      if (add->parsed()) {
        const double amount = checkAmount(amountText);
        auto holding =
            makeHolding(symbol, amount, base.empty() ? std::nullopt : std::optional(base),
                        add->count("--price") ? std::optional(price) : std::nullopt,
                        add->count("--change") ? std::optional(change) : std::nullopt);
        saveAll({holding});
      } else if (remove->parsed()) {
        removeHolding(base);
      } else if (import->parsed()) {
        auto items = readImport(file);
        saveAll(items);
        std::cerr << "imported " << items.size() << " holding(s)\n";
      } else {
        listHoldings();
      }
    } else if (themeCommand->parsed()) {
      auto defaults =
          platform::foundation::UserDefaults::standardFor(quorvel::kWidgetsBundleIdentifier);
      if (!theme.empty()) {
        check(defaults.set(quorvel::kCurrentThemeKey, theme), "store the theme");
      } else {
        std::cout << defaults.string(quorvel::kCurrentThemeKey).value_or("system") << '\n';
      }
    } else if (snapshot->parsed()) {
      std::optional<quorvel::PortfolioWidget> stored = quorvel::loadPortfolioWidget();
      if (!stored) {
        std::cout << "no snapshot\n";
      } else {
        auto json = quorvel::encodeJSON(*stored);
        if (!json.ok())
          throw StoreError{"cannot write the snapshot: " + json.status.localizedDescription()};
        std::cout << *json.value << '\n';
      }
    }
  } catch (const UsageError& error) {
    std::cerr << "error: " << platform::foundation::escapedForm(error.message) << '\n';
    return kExitUsage;
  } catch (const StoreError& error) {
    std::cerr << "error: " << platform::foundation::escapedForm(error.message) << '\n';
    return kExitStore;
  }
  return platform::foundation::finishStandardOutput(0, "quorvel-host");
}
