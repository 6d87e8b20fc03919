// quorvel-host: writes what the host application would (holdings into the
// shared store, the theme into the widget extension's standard store) and
// reads the stored snapshot; refreshes the holdings' stored prices as the app
// does while it is open. Exit status: 0 done, 1 store or exchange error or
// nothing stored, 2 usage error or bad input.
#include <CLI/CLI.hpp>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <future>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/foundation/decimal.h"
#include "platform/foundation/dispatch/dispatch_queue.h"
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
#include "widgets/widget_managers.h"

namespace {

using platform::foundation::Status;
using platform::objectstore::Realm;

constexpr int kExitStore = 1;
constexpr int kExitUsage = 2;
constexpr const char* kProgram = "quorvel-host";

constexpr const char* kHelpFooter = R"(Commands:
  holdings add SYMBOL AMOUNT   add a holding, or replace the one of its base asset
  holdings list                one line per holding: symbol, base asset, amount
  holdings remove BASE         remove the holding of a base asset
  holdings import FILE|-       add or replace every holding of a JSON array, all or none
  holdings refresh-prices      fetch the exchange's 24-hour tickers once and store each
                               holding's last price and change
  theme set light|dark|system  the widgets' theme; theme show prints it
  snapshot show [--json]       the balances the widgets stored last

The widget extension values holdings from the exchange's answer. When that
answer carries no ticker list (null, a bare number, an empty 204 answer) it
falls back to each holding's stored price: run "holdings refresh-prices"
after adding holdings, and again whenever the stored prices should follow
the market, as the app does while it is open.

Only pairs priced in a US-dollar coin (USDT, USDC, BUSD, FDUSD, TUSD, USDP,
DAI) are valued right: the widgets count any price as dollars.

Environment:
  QUORVEL_HOME          where the shared store and preferences live
                        (default ${XDG_DATA_HOME:-$HOME/.local/share}/quorvel)
  XDG_DATA_HOME         see QUORVEL_HOME; a relative one is ignored
  QUORVEL_API_BASE_URL  the exchange's base address for refresh-prices
                        (default )" QUORVEL_DEFAULT_API_BASE_URL R"()

Examples:
  quorvel-host holdings add BTCUSDT 0.25
  quorvel-host holdings refresh-prices
  quorvel-host snapshot show --json

Exit status: 0 done; 1 store or exchange error, or no snapshot stored;
2 usage error or bad input.)";

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
    throw UsageError{"amount \"" + text +
                     "\" is not a finite number of at least 0 in plain decimal digits"};
  }
  return *amount;
}

void warn(const std::string& what, const std::string& why) {
  std::cerr << kProgram << ": " << what << ": " << why << '\n';
}

// What the widgets need to value a pair: a quote asset that is a dollar.
void warnIfNotDollars(const std::string& symbol, const std::string& quote) {
  static const char* const kDollarCoins[] = {"USDT", "USDC", "BUSD", "FDUSD",
                                             "TUSD", "USDP", "DAI"};
  const std::string upperSymbol = upper(symbol);
  for (const char* coin : kDollarCoins) {
    if (quote == coin || (quote.empty() && upperSymbol.ends_with(coin))) return;
  }
  warn("warning: " + symbol, quote.empty()
                                 ? "no US-dollar quote asset; the widgets value it only if the "
                                   "exchange lists this symbol priced in dollars"
                                 : "priced in " + quote +
                                       ", not in US dollars; the widgets "
                                       "would count that price as dollars");
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
  const std::optional<double> priceValue =
      price ? platform::foundation::parseDecimal(*price) : std::nullopt;
  if (price && (!priceValue || *priceValue < 0))
    throw UsageError{"price \"" + *price +
                     "\" is not a finite number of at least 0 in plain decimal digits"};
  if (change && !platform::foundation::parseDecimal(*change))
    throw UsageError{"change \"" + *change + "\" is not a finite number in plain decimal digits"};
  warnIfNotDollars(symbol, quote);
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
  if (!found) throw StoreError{"cannot remove " + base + ": there is no holding of " + base};
  check(realm.write([&](Realm::WriteTransaction& tx) {
    return tx.remove<quorvel::PortfolioPair>(platform::objectstore::Value(base));
  }),
        "remove the holding");
}

// An import names a few holdings; far more is a mistake.
constexpr std::uintmax_t kMaxImportBytes = 16u << 20;

std::vector<quorvel::PortfolioPair> readImport(const std::string& path) {
  const std::string name = path == "-" ? "standard input" : path;
  std::string text;
  if (path == "-") {
    std::stringstream buffer;
    buffer << std::cin.rdbuf();
    text = buffer.str();
  } else {
    // A FIFO or a device named as the file must not stall the host.
    auto bytes = platform::foundation::readRegularFile(path, kMaxImportBytes);
    if (!bytes.ok()) throw UsageError{bytes.status.localizedDescription()};
    text = std::move(*bytes.value);
  }
  nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
  if (document.is_discarded()) throw UsageError{"cannot import " + name + ": it is not JSON"};
  if (!document.is_array())
    throw UsageError{"cannot import " + name +
                     ": it must hold a JSON array of {\"symbol\",\"amount\"[,\"base\"]}"};
  std::vector<quorvel::PortfolioPair> holdings;
  for (std::size_t index = 0; index < document.size(); ++index) {
    const nlohmann::json& item = document[index];
    const std::string where = "holding " + std::to_string(index + 1) + " of " + name;
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
      throw UsageError{"cannot import " + where + ": " + error.message};
    }
  }
  return holdings;
}

// Writes the file's holdings in one transaction and says what changed: a
// holding replaces the stored one of its base asset, and a second holding of
// one base asset in the file is refused.
void importHoldings(const std::string& path) {
  const std::vector<quorvel::PortfolioPair> items = readImport(path);
  std::set<std::string> stored;
  {
    Realm realm = openStore();
    for (const auto& holding : readHoldings(realm)) stored.insert(holding.baseAsset.value_or(""));
  }
  std::map<std::string, std::size_t> seen;  // base asset -> its holding's number
  std::vector<quorvel::PortfolioPair> accepted;
  std::size_t replaced = 0;
  for (std::size_t index = 0; index < items.size(); ++index) {
    const std::string base = items[index].baseAsset.value_or("");
    if (auto [first, fresh] = seen.emplace(base, index + 1); !fresh) {
      warn("holding " + std::to_string(index + 1) + " refused",
           "holding " + std::to_string(first->second) + " already has base asset " + base);
      continue;
    }
    replaced += stored.count(base);
    accepted.push_back(items[index]);
  }
  saveAll(accepted);
  std::cerr << kProgram << ": imported " << accepted.size()
            << " holding(s): " << accepted.size() - replaced << " added, " << replaced
            << " replaced, " << items.size() - accepted.size() << " refused\n";
}

// Fetches the 24-hour tickers once, the way the widget extension does, and
// stores each listed holding's last price and change.
void refreshPrices() {
  std::vector<quorvel::PortfolioPair> holdings;
  {
    Realm realm = openStore();
    holdings = readHoldings(realm);
  }
  using Answer = std::pair<std::optional<std::vector<quorvel::Pair>>, std::optional<Status>>;
  std::promise<Answer> promise;
  quorvel::WidgetManagers::shared().fetchPriceChangeStatistics(
      std::nullopt, [&promise](auto tickers, auto error) {
        promise.set_value({std::move(tickers), std::move(error)});
      });
  Answer answer = promise.get_future().get();
  if (answer.second)
    throw StoreError{"cannot fetch the prices: " + answer.second->localizedDescription()};
  if (!answer.first) throw StoreError{"cannot fetch the prices: the answer holds no ticker list"};
  std::map<std::string, const quorvel::Pair*> bySymbol;
  for (const quorvel::Pair& ticker : *answer.first)
    bySymbol.emplace(upper(ticker.symbol.value_or("")), &ticker);
  std::vector<quorvel::PortfolioPair> priced;
  std::string unlisted;
  for (quorvel::PortfolioPair& holding : holdings) {
    auto ticker = bySymbol.find(upper(holding.symbol.value_or("")));
    if (ticker == bySymbol.end()) {
      unlisted += (unlisted.empty() ? "" : ", ") + holding.symbol.value_or("-");
      continue;
    }
    holding.lastPrice = ticker->second->lastPrice;
    holding.priceChange = ticker->second->priceChange;
    priced.push_back(std::move(holding));
  }
  saveAll(priced);
  std::cerr << kProgram << ": stored the prices of " << priced.size() << " holding(s)\n";
  if (!unlisted.empty()) warn("warning: not listed by the exchange", unlisted);
}

void showSnapshot(bool raw) {
  std::optional<std::string> text;
  if (raw) {
    auto suite = platform::foundation::UserDefaults::suite(quorvel::appGroupIdentifier);
    auto bytes = suite ? suite->data(quorvel::kPortfolioWidgetKey) : std::nullopt;
    if (bytes) text = std::string(bytes->begin(), bytes->end());
  } else if (std::optional<quorvel::PortfolioWidget> stored = quorvel::loadPortfolioWidget()) {
    auto json = quorvel::encodeJSON(*stored);
    if (!json.ok())
      throw StoreError{"cannot write the snapshot: " + json.status.localizedDescription()};
    text = *json.value;
  }
  if (!text) throw StoreError{"no snapshot stored: the widgets have not refreshed a timeline yet"};
  std::cout << *text << '\n';
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Stand-in for the Quorvel app: writes holdings into the shared store and the widget theme, "
      "and reads the widget snapshot.",
      kProgram};
  app.footer(kHelpFooter);
  app.set_version_flag("--version", QUORVEL_VERSION, "Print the version and exit");
  app.require_subcommand(1, 1);

  CLI::App* holdings =
      app.add_subcommand("holdings", "Change or list the holdings")->require_subcommand(1, 1);
  std::string symbol, amountText, base, price, change, file, theme;
  CLI::App* add =
      holdings->add_subcommand("add", "Add a holding, or replace the one of the same base asset");
  add->add_option("SYMBOL", symbol, "Trading pair, e.g. BTCUSDT")->required();
  add->add_option("AMOUNT", amountText, "Quantity held, a decimal number >= 0 (e.g. 0.25)")
      ->type_name("NUMBER")
      ->required();
  add->add_option(
      "--base", base,
      "Base asset (default: SYMBOL upper-cased minus a USDT/USDC/BUSD/BTC/ETH/BNB suffix)");
  add->add_option("--price", price, "Last price in dollars, stored as the holding's own price")
      ->type_name("NUMBER");
  add->add_option("--change", change, "24-hour price change in dollars, stored with the holding")
      ->type_name("NUMBER");
  holdings->add_subcommand("list", "Print one line per holding: symbol, base, amount");
  CLI::App* remove = holdings->add_subcommand("remove", "Remove the holding of a base asset");
  remove->add_option("BASE", base, "Base asset, e.g. BTC")->required();
  CLI::App* import = holdings->add_subcommand(
      "import", "Add or replace every holding of a JSON file, all or none; says what changed");
  import
      ->add_option("FILE", file,
                   "JSON array of {\"symbol\":…,\"amount\":…[,\"base\":…]}; - for standard input")
      ->type_name("FILE|-")
      ->required();
  CLI::App* refresh = holdings->add_subcommand(
      "refresh-prices",
      "Fetch the exchange's 24-hour tickers once and store each holding's last price and change");

  CLI::App* themeCommand =
      app.add_subcommand("theme", "Set or show the widgets' theme")->require_subcommand(1, 1);
  themeCommand->add_subcommand("set", "Set the theme")
      ->add_option("THEME", theme, "light, dark or system")
      ->required()
      ->check(CLI::IsMember({"light", "dark", "system"}));
  themeCommand->add_subcommand("show", "Print the stored theme, or \"system\" when none is stored");

  CLI::App* snapshot =
      app.add_subcommand("snapshot", "Read the widgets' stored snapshot")->require_subcommand(1, 1);
  bool raw = false;
  snapshot->add_subcommand("show", "Print the snapshot as JSON; exit status 1 when none is stored")
      ->add_flag("--json", raw, "Print the stored bytes exactly as stored");

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return app.exit(e, std::cout, std::cerr);
  } catch (const CLI::ParseError& e) {
    std::cerr << kProgram << ": bad command line: " << e.what() << "\nRun '" << kProgram
              << " --help' for the usage.\n";
    return kExitUsage;
  }

  try {
    if (holdings->parsed()) {
      if (add->parsed()) {
        quorvel::PortfolioPair holding;
        try {
          holding = makeHolding(symbol, checkAmount(amountText),
                                base.empty() ? std::nullopt : std::optional(base),
                                add->count("--price") ? std::optional(price) : std::nullopt,
                                add->count("--change") ? std::optional(change) : std::nullopt);
        } catch (const UsageError& error) {
          throw UsageError{"cannot add " + symbol + ": " + error.message};
        }
        saveAll({holding});
      } else if (remove->parsed()) {
        removeHolding(base);
      } else if (import->parsed()) {
        importHoldings(file);
      } else if (refresh->parsed()) {
        refreshPrices();
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
      showSnapshot(raw);
    }
  } catch (const UsageError& error) {
    std::cerr << kProgram << ": " << platform::foundation::escapedForm(error.message) << '\n';
    return kExitUsage;
  } catch (const StoreError& error) {
    std::cerr << kProgram << ": " << platform::foundation::escapedForm(error.message) << '\n';
    return kExitStore;
  }
  return platform::foundation::finishStandardOutput(0, kProgram);
}
