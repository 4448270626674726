#include "encode/png_file.h"

#include <objidl.h>
#include <wincodec.h>

#include <climits>
#include <cstring>
#include <vector>

#include "core/pixel_rows.h"

namespace {

// Rows converted to 24 bits per hand-over to the encoder: enough that the encoder's
// per-call cost vanishes, few enough that the strip stays in the cache.
const int kStripRows = 32;

// Releases a COM interface when it leaves scope.
template <typename T>
struct ComRef {
    T* p = nullptr;
    ComRef() = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() {
        if (p) p->Release();
    }
    T** put() { return &p; }
    T* operator->() const { return p; }
};

bool encodeFrame(IWICBitmapEncoder* encoder, const BYTE* topDownRows, int stride, int width, int height,
                 void (*betweenStrips)()) {
    ComRef<IWICBitmapFrameEncode> frame;
    ComRef<IPropertyBag2> options;
    if (FAILED(encoder->CreateNewFrame(frame.put(), options.put()))) return false;
    // Every row predicted from the one above: on screen images (text, window frames,
    // gradients) it gave smaller files than the encoder's own per-row choice, in
    // three quarters of its time (docs/performance.md). An encoder without the
    // option keeps its own choice.
    PROPBAG2 filterOption = {};
    filterOption.pstrName = const_cast<LPOLESTR>(L"FilterOption");
    VARIANT up = {};
    up.vt = VT_UI1;
    up.bVal = WICPngFilterUp;
    options->Write(1, &filterOption, &up);
    if (FAILED(frame->Initialize(options.p))) return false;
    if (FAILED(frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height)))) return false;
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    // An encoder may answer with another format it prefers; only 24-bit BGR is written.
    if (FAILED(frame->SetPixelFormat(&format)) || !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR)) return false;

    const UINT rowBytes = 3u * static_cast<UINT>(width);
    std::vector<BYTE> strip;
    strip.resize(static_cast<size_t>(rowBytes) * kStripRows);
    for (int y = 0; y < height; y += kStripRows) {
        const int rows = height - y < kStripRows ? height - y : kStripRows;
        for (int r = 0; r < rows; ++r) {
            bgrFromBgrx(strip.data() + static_cast<size_t>(r) * rowBytes,
                        topDownRows + static_cast<size_t>(y + r) * static_cast<size_t>(stride), width);
        }
        if (FAILED(frame->WritePixels(static_cast<UINT>(rows), rowBytes, rowBytes * static_cast<UINT>(rows),
                                      strip.data()))) {
            return false;
        }
        if (betweenStrips) betweenStrips();
    }
    return SUCCEEDED(frame->Commit());
}

// Encodes into a stream over `memory`; `grown` receives the block the stream ends in
// (it may move while it grows), `size` the file's length.
bool encodeIntoMemory(HGLOBAL memory, const BYTE* topDownRows, int stride, int width, int height, HGLOBAL* grown,
                      ULONGLONG* size, void (*betweenStrips)()) {
    ComRef<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(factory.put())))) {
        return false;
    }
    ComRef<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(memory, FALSE, stream.put()))) return false;
    ComRef<IWICBitmapEncoder> encoder;
    ULARGE_INTEGER end = {};
    const LARGE_INTEGER zero = {};
    const bool encoded = SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put())) &&
                         SUCCEEDED(encoder->Initialize(stream.p, WICBitmapEncoderNoCache)) &&
                         encodeFrame(encoder.p, topDownRows, stride, width, height, betweenStrips) &&
                         SUCCEEDED(encoder->Commit()) && SUCCEEDED(stream->Seek(zero, STREAM_SEEK_END, &end));
    HGLOBAL current = nullptr;
    if (SUCCEEDED(GetHGlobalFromStream(stream.p, &current)) && current) *grown = current;
    *size = end.QuadPart;
    return encoded;
}

}  // namespace

EncodedPng::~EncodedPng() {
    if (!memory) return;
    if (bytes) GlobalUnlock(memory);
    GlobalFree(memory);
}

bool encodePng(const BYTE* topDownRows, int stride, int width, int height, EncodedPng& out,
               void (*betweenStrips)()) {
    if (width < 1 || height < 1 || static_cast<long long>(width) * 3 > INT_MAX / kStripRows) return false;
    // The stream does not own its memory: it is handed to `out` once the file is whole.
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, 0);
    if (!memory) return false;
    ULONGLONG size = 0;
    if (!encodeIntoMemory(memory, topDownRows, stride, width, height, &memory, &size, betweenStrips) || size == 0 ||
        size > static_cast<ULONGLONG>(INT_MAX)) {
        GlobalFree(memory);
        return false;
    }
    out.memory = memory;
    out.size = static_cast<int>(size);
    out.bytes = static_cast<const BYTE*>(GlobalLock(memory));
    return out.bytes != nullptr;
}
