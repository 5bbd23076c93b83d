#pragma once

#include "fakes/FakeMakerApi.h"
#include "support/TestSupport.h"
#include "tavrine/services/TavrineAPIClient.h"

#include <QCoro/QCoroTask>
#include <QJsonDocument>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

#include <ostream>

// Readable texts in test failures.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace tavrine::test {

// An object as compact JSON text, its keys sorted: one line to compare a whole request with.
inline QByteArray compact(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// The error a finished task threw, when it is of type E.
template <typename E, typename T> std::optional<E> errorAs(const Outcome<T>& outcome) {
    if (!outcome.error)
        return std::nullopt;
    try {
        std::rethrow_exception(outcome.error);
    } catch (const E& error) {
        return error;
    } catch (...) {
    }
    return std::nullopt;
}

// The token the fake's client sends, and how often a refresh was asked for; a refresh hands out `next`.
struct TokenBox {
    std::optional<QString> token = QStringLiteral("token-1");
    std::optional<QString> next;
    int refreshes = 0;
};

inline QCoro::Task<void> refreshToken(std::shared_ptr<TokenBox> box) {
    ++box->refreshes;
    if (box->next)
        box->token = box->next;
    co_return;
}

// A fake API on loopback and a client pointed at it.
class FakeApiTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(api.listen()); }

    std::shared_ptr<TavrineAPIClient> makeClient(double resourceTimeout = 10.0) {
        auto box = tokens;
        const QUrl base = api.baseURL();
        return TavrineAPIClient::create([box] { return box->token; }, [box] { return refreshToken(box); },
                                        [base] { return base; },
                                        TavrineAPIClient::SessionConfiguration{resourceTimeout});
    }

    FakeMakerApi api;
    std::shared_ptr<TokenBox> tokens = std::make_shared<TokenBox>();
};

} // namespace tavrine::test
