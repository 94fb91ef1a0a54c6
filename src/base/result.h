#pragma once
// A value or the reason there is none: what the API and storage layers return
// instead of a status beside out-parameters. The reason is the layer's own
// code enum, whose zero member means success, with a text for the log.
//
//     const auto tree = ParseGetCateTreeResponse(body);
//     if (!tree)
//         return Fail(tree.error());
//     Use(tree->data);

#include <QString>
#include <QtGlobal>

#include <optional>
#include <utility>

namespace orvane {

template <typename Code> struct Failure
{
    Code code = Code();
    QString message; // what the layer below said (libcurl, the server, the driver)
};

// E is a Failure<Code> or a struct derived from one that carries more.
template <typename T, typename E> class Result
{
public:
    using Value = T;
    using Error = E;

    // A default value, as futures and containers need.
    Result() : value_(T()) {}
    Result(T value) : value_(std::move(value)) {}
    Result(E error) : error_(std::move(error)) { Q_ASSERT(error_.code != decltype(error_.code)()); }

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }

    const T& value() const&
    {
        Q_ASSERT(ok());
        return *value_;
    }
    T& value() &
    {
        Q_ASSERT(ok());
        return *value_;
    }
    T&& value() &&
    {
        Q_ASSERT(ok());
        return std::move(*value_);
    }
    const T* operator->() const { return &value(); }
    T* operator->() { return &value(); }
    T valueOr(T fallback) const& { return ok() ? *value_ : std::move(fallback); }

    // On success an empty failure whose code is the enum's zero member.
    const E& error() const { return error_; }
    auto code() const { return error_.code; }
    const QString& message() const { return error_.message; }

private:
    std::optional<T> value_;
    E error_;
};

template <typename E> class Result<void, E>
{
public:
    using Value = void;
    using Error = E;

    Result() = default;
    Result(E error) : error_(std::move(error)) { Q_ASSERT(error_.code != decltype(error_.code)()); }

    bool ok() const { return error_.code == decltype(error_.code)(); }
    explicit operator bool() const { return ok(); }

    const E& error() const { return error_; }
    auto code() const { return error_.code; }
    const QString& message() const { return error_.message; }

private:
    E error_;
};

} // namespace orvane
