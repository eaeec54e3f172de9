// Failures the picture and thumbnail controls raise to their callers.
#pragma once

#include <stdexcept>
#include <string>

namespace quillmark {

// A picture's bytes could not be turned into a picture; the message is one of the texts below.
class EPictureError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An index outside a collection of the controls.
class EListError : public std::out_of_range {
public:
    explicit EListError(int index) : std::out_of_range(Message(index)) {}

private:
    static std::string Message(int index) {
        return "List index out of bounds (" + std::to_string(index) + ")";
    }
};

inline constexpr const char* kNoMemoryForImage = "Could not allocate memory for image";
inline constexpr const char* kNoImageStream = "Could not create image stream";
inline constexpr const char* kEmptyImageStream = "Empty image stream created";
inline constexpr const char* kInvalidImageFormat = "Could not load image. Invalid format";
inline constexpr const char* kNoImage = "Could not load image";

} // namespace quillmark
