#include "ui/Art.h"

#include <wincodec.h>

#include <vector>

#include "base/ScopedHandle.h"

namespace {

// Owns one COM interface pointer.
template <class T>
class TComPtr {
 public:
  TComPtr() = default;
  TComPtr(const TComPtr&) = delete;
  TComPtr& operator=(const TComPtr&) = delete;
  ~TComPtr() {
    if (FPtr) FPtr->Release();
  }
  T* operator->() const { return FPtr; }
  T* Get() const { return FPtr; }
  // The pointer's address, for the calls that return one.
  T** Receive() { return &FPtr; }

 private:
  T* FPtr = nullptr;
};

// COM on this thread for the life of one decode. Another apartment model
// already in place (RPC_E_CHANGED_MODE) serves as well and is left alone.
class TComScope {
 public:
  TComScope() : FOwned(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  TComScope(const TComScope&) = delete;
  TComScope& operator=(const TComScope&) = delete;
  ~TComScope() {
    if (FOwned) CoUninitialize();
  }

 private:
  bool FOwned;
};

struct TResourceBytes {
  const void* Data = nullptr;
  DWORD Size = 0;
};

TResourceBytes FindResourceBytes(HMODULE module, const wchar_t* name) {
  HRSRC info = FindResourceW(module, name, MAKEINTRESOURCEW(10));  // RT_RCDATA
  HGLOBAL res = info ? LoadResource(module, info) : nullptr;
  if (!res) return {};
  return {LockResource(res), SizeofResource(module, info)};
}

// A top-down 32-bit DIB section of the given size; its bits in *bits.
HBITMAP CreateTopDownDib(int width, int height, void** bits) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  return CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, bits, nullptr, 0);
}

HBITMAP DecodePng(const TResourceBytes& png) {
  TComPtr<IWICImagingFactory> factory;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                              reinterpret_cast<void**>(factory.Receive()))))
    return nullptr;
  TComPtr<IWICStream> stream;
  TComPtr<IWICBitmapDecoder> decoder;
  TComPtr<IWICBitmapFrameDecode> frame;
  TComPtr<IWICFormatConverter> converter;
  UINT width = 0, height = 0;
  if (FAILED(factory->CreateStream(stream.Receive())) ||
      FAILED(stream->InitializeFromMemory(static_cast<BYTE*>(const_cast<void*>(png.Data)), png.Size)) ||
      FAILED(
          factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.Receive())) ||
      FAILED(decoder->GetFrame(0, frame.Receive())) || FAILED(factory->CreateFormatConverter(converter.Receive())) ||
      FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom)) ||
      FAILED(converter->GetSize(&width, &height)) || width == 0 || height == 0)
    return nullptr;
  void* bits = nullptr;
  TGdiObject dib(CreateTopDownDib(static_cast<int>(width), static_cast<int>(height), &bits));
  if (!dib.IsValid()) return nullptr;
  const UINT stride = width * 4;
  if (FAILED(converter->CopyPixels(nullptr, stride, stride * height, static_cast<BYTE*>(bits)))) return nullptr;
  return static_cast<HBITMAP>(dib.Take());
}

}  // namespace

HBITMAP LoadPngResource(HMODULE module, const wchar_t* name) {
  const TResourceBytes png = FindResourceBytes(module, name);
  if (!png.Data || png.Size == 0) return nullptr;
  TComScope com;
  return DecodePng(png);
}

HICON IconFromBitmap(HBITMAP bitmap) {
  BITMAP bm{};
  if (!bitmap || !GetObjectW(bitmap, sizeof(bm), &bm)) return nullptr;
  // An all-zero mask: the alpha channel alone says what shows.
  const std::vector<BYTE> zeros(static_cast<size_t>((bm.bmWidth + 15) / 16 * 2 * bm.bmHeight));
  TGdiObject mask(CreateBitmap(bm.bmWidth, bm.bmHeight, 1, 1, zeros.data()));
  ICONINFO info{TRUE, 0, 0, static_cast<HBITMAP>(mask.Get()), bitmap};
  return CreateIconIndirect(&info);
}

HIMAGELIST LoadFlagList(HMODULE module, const wchar_t* name) {
  TGdiObject strip(LoadPngResource(module, name));
  if (!strip.IsValid()) return nullptr;
  HIMAGELIST list = ImageList_Create(FlagWidth, FlagHeight, ILC_COLOR32 | ILC_MASK, FlagCount, 0);
  // Every cell is opaque, so the strip needs no mask of its own.
  if (list) ImageList_Add(list, static_cast<HBITMAP>(strip.Get()), nullptr);
  return list;
}
