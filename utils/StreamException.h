// Exception template whose message is composed after construction by stream
// insertion. T is constructed with an empty text, so the whole message lives
// here and is read through what() const (or message()).
//
// Insertions return StreamException<T>&, so a throw site of a derived error
// constructs a named local, inserts into it and throws the local: throwing
// the result of a chain would throw the base class.
#pragma once

#include <sstream>
#include <string>
#include <utility>

template <class T> class StreamException : public T {
public:
    StreamException() : T("") {}
    explicit StreamException(std::string&& text) : T(""), messageText(std::move(text)) {}
    StreamException(const StreamException& other) : T(""), messageText(other.messageText) {}
    StreamException& operator=(const StreamException& other) {
        messageText = other.messageText;
        whatBuffer.clear();
        return *this;
    }
    ~StreamException() override = default;

    StreamException& operator<<(const char* text) {
        messageText.append(text);
        return *this;
    }
    StreamException& operator<<(const std::string& text) {
        messageText.append(text);
        return *this;
    }
    StreamException& operator<<(unsigned int value) {
        messageText.append(std::to_string(value));
        return *this;
    }
    template <class V> StreamException& operator<<(const V& value) {
        std::ostringstream os;
        os << value;
        messageText.append(os.str());
        return *this;
    }

    // Subclasses decorate the message here (source locations, for example).
    virtual std::string message() const { return messageText; }

    // Recomputed on every call; valid until the next call or destruction. The
    // base's other what() overloads stay visible.
    using T::what;
    const char* what() const noexcept override {
        whatBuffer = message();
        return whatBuffer.c_str();
    }

protected:
    std::string messageText;
    mutable std::string whatBuffer;
};
