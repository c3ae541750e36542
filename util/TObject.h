#pragma once
// Root of the library's classes, so that every event can name its sender
// with one pointer type.

class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;
};
