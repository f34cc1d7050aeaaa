#!/usr/bin/env python3
# probe-page.py KIND: the test page of record-probe.sh on stdout. Once laid out, the page puts
# into its title its height (H=), the view's (V=) and the page rectangles that change by
# themselves (R=top,bottom,left,right;...), which the probe's check reads.
#   footer    a fixed footer with a short drop shadow
#   spinner   a CSS spinner right under the title
#   banners   three banners whose background pulses, 1.5 views apart
#   lazy      photos that get their source 200 to 500 ms after they scroll into view
#   canvas    a 300 x 300 canvas in the middle of the page, redrawn on every animation frame
#   canvastall  the same 400 px tall (five sixths of the probe's 480 px view)
#   sticky    a 400-row table under a sticky header row saying "Rows a-b of 400"
#   photos    photographs (photo-N.png beside the page: 600x300, 800x400, 960x540) that get their
#             source 200 to 500 ms after they scroll into view, over a grey placeholder
#   photosfade  the same, each fading in over 0.6 s once loaded
#   shrink    a 90-px sticky header that shrinks to 44 px over 0.3 s once the page scrolls
#   table     a 400-row table of plain text rows under a sticky header saying "Rows a-b of 400"
#   fixedbg   text over a photograph that stays in place (background-attachment: fixed)
# The photo kinds put each photo's page position and number into R= (top,left,N; Firefox cuts
# titles of over 255 characters).
import random
import sys

kind = sys.argv[1]
random.seed(11)
words = ("the of and a to in is was for on that with as by at from his her it an were are which this be or had not "
         "but have they one you all their has been more when there can who would will so no if out up about into "
         "than them some time only other new its could these two may then first any like now my over such our man").split()


def para(n):
    return " ".join(" ".join(random.choice(words) for _ in range(random.randint(6, 14))).capitalize() + "."
                    for _ in range(n))


body = []
if kind == "spinner":
    body.append('<div class="spin live"></div>')
PHOTO_SIZES = [(600, 300), (800, 400), (960, 540)]
if kind in ("sticky", "table"):
    if kind == "sticky":
        rows = "".join(f'<tr><td class="n" style="background:rgb({40 + (i * 37) % 200},{40 + (i * 91) % 200},'
                       f'{40 + (i * 53) % 200})">{i}</td><td>row {i}: {para(1)[:48]}</td></tr>' for i in range(1, 401))
    else:
        rows = "".join(f'<tr><td>{i}</td><td>row {i}: {para(1)[:60]}</td><td>{random.randint(1, 9999)}</td></tr>'
                       for i in range(1, 401))
    body.append('<p>' + para(3) + '</p><table><thead><tr><th colspan=2 id="head">Rows 1-20 of 400</th></tr>'
                f'</thead><tbody>{rows}</tbody></table>')
elif kind in ("photos", "photosfade"):
    n = 0
    for i in range(1, 31):
        if i % 5 == 1:
            body.append(f"<h2>Section {i // 5 + 1}</h2>")
        body.append(f"<p>{i}. {para(random.randint(2, 4))}</p>")
        if i % 2 == 0:
            w, h = PHOTO_SIZES[n % 3]
            body.append(f'<figure class="ph" style="width:{w}px;height:{h}px"><img class="photo" data-n="{n}" width="{w}" '
                        f'height="{h}" alt=""></figure><p class="cap">Photo {n}: caption under the photo</p>')
            n += 1
elif kind == "shrink":
    for i in range(1, 31):
        if i % 5 == 1:
            body.append(f"<h2>Section {i // 5 + 1}</h2>")
        body.append(f"<p>{i}. {para(random.randint(2, 4))}</p>")
        if i % 6 == 3:
            w, h = PHOTO_SIZES[(i // 6) % 3]
            body.append(f'<img src="photo-{i // 6}.png" width="{w}" height="{h}" alt="" style="display:block">')
else:
    for i in range(1, 31):
        if i % 5 == 1:
            body.append(f"<h2>Section {i // 5 + 1}</h2>")
        body.append(f"<p>{i}. {para(random.randint(2, 4))}</p>")
        if kind == "banners" and i in (2, 9, 17):
            body.append(f'<div class="pulse live">Banner {i}: limited offer</div>')
        if kind == "lazy" and i % 3 == 0:
            body.append(f'<figure><img class="lazy live" data-h="{(i * 47) % 360}" width="320" height="120" alt="">'
                        f'<figcaption>Photo {i}: caption under the photo</figcaption></figure>')
        if kind in ("canvas", "canvastall") and i == 12:
            body.append(f'<canvas class="live" width="300" height="{400 if kind == "canvastall" else 300}"></canvas>')
css = ("html,body{margin:0;background:#fff} body{font:15px/1.5 'DejaVu Serif',serif;color:#222}"
       "main{margin:0 40px 0 60px;padding:8px 0 60px}"  # white margins either side
       "h2{color:#134;font:bold 18px 'DejaVu Sans',sans-serif}"
       ".spin{width:28px;height:28px;border:4px solid #ddd;border-top-color:#1565c0;border-radius:50%;"
       "animation:r 0.8s linear infinite}"
       "@keyframes r{to{transform:rotate(360deg)}}"
       ".pulse{background:#c62828;color:#fff;padding:10px;font:bold 15px 'DejaVu Sans';animation:p 1.2s steps(4) infinite}"
       "@keyframes p{50%{background:#ef9a9a}}"
       "img.lazy{display:block;background:#888888}"
       "figure{margin:8px 0} canvas{display:block;margin:8px 0}"
       "table{border-collapse:collapse;width:100%;font:14px 'DejaVu Sans'} td{padding:2px 6px;border-bottom:1px solid #ddd}"
       "td.n{width:40px;color:#fff} th{position:sticky;top:0;background:#2e7d32;color:#fff;padding:8px;text-align:left}"
       "figure.ph{background:#888888;padding:0} img.photo{display:block} p.cap{font:13px 'DejaVu Sans';color:#555}")
if kind == "photosfade":
    css += "img.photo{opacity:0;transition:opacity .6s linear} img.photo.on{opacity:1}"
head = ""
if kind == "shrink":
    css += ("header{position:sticky;top:0;z-index:2;height:90px;background:#1a237e;color:#fff;display:flex;"
            "align-items:center;padding:0 24px;font:bold 30px 'DejaVu Sans';transition:height .3s,font-size .3s;"
            "box-shadow:0 2px 6px rgba(0,0,0,.35)} header.small{height:44px;font-size:18px}"
            "header nav{margin-left:auto;font:15px 'DejaVu Sans'}")
    head = "<header id=bar>Probe News<nav>World &middot; Tech &middot; Sport &middot; Culture</nav></header>"
if kind == "fixedbg":
    css += ("body{background:url(photo-0.png) center/cover fixed} main{background:rgba(255,255,255,.82);"
            "padding:8px 16px 60px}")
foot = ""
if kind == "footer":
    css += ("footer{position:fixed;bottom:0;left:0;right:0;height:40px;background:#333;color:#eee;display:flex;"
            "align-items:center;padding:0 24px;font:14px 'DejaVu Sans';box-shadow:0 -2px 6px rgba(0,0,0,.35)}")
    foot = "<footer>Fixed footer</footer>"
js = """
history.scrollRestoration='manual';
function t(){var r=[];document.querySelectorAll('.live').forEach(function(e){var b=e.getBoundingClientRect();
 r.push(Math.round(b.top+scrollY)+','+Math.round(b.bottom+scrollY)+','+Math.round(b.left)+','+Math.round(b.right));});
 document.querySelectorAll('img.photo').forEach(function(e){var b=e.getBoundingClientRect();
 r.push(Math.round(b.top+scrollY)+','+Math.round(b.left)+','+e.dataset.n);});
 document.title='Probe %s H='+document.documentElement.scrollHeight+' V='+innerHeight+' R='+r.join(';');}
addEventListener('load',t); addEventListener('resize',t);
var io=new IntersectionObserver(function(es){es.forEach(function(e){if(!e.isIntersecting)return;var im=e.target;io.unobserve(im);
 setTimeout(function(){var c=document.createElement('canvas');c.width=320;c.height=120;var x=c.getContext('2d');var h=+im.dataset.h;
 for(var k=0;k<320;k+=8){x.fillStyle='hsl('+((h+k)%%360)+',70%%,'+(35+k%%40)+'%%)';x.fillRect(k,0,8,120);}
 im.src=c.toDataURL();},200+Math.random()*300);});});
document.querySelectorAll('img.lazy').forEach(function(i){io.observe(i);});
var po=new IntersectionObserver(function(es){es.forEach(function(e){if(!e.isIntersecting)return;var im=e.target;po.unobserve(im);
 im.onload=function(){requestAnimationFrame(function(){im.classList.add('on');});};
 setTimeout(function(){im.src='photo-'+im.dataset.n+'.png';},200+Math.random()*300);});});
document.querySelectorAll('img.photo').forEach(function(i){po.observe(i);});
var bar=document.getElementById('bar');
if(bar){addEventListener('scroll',function(){bar.classList.toggle('small',scrollY>0);});}
var cv=document.querySelector('canvas');
if(cv){var cx=cv.getContext('2d');(function f(ts){for(var k=0;k<cv.height;k+=10){cx.fillStyle='hsl('+((k+ts/5)%%360)+',60%%,50%%)';
 cx.fillRect(0,k,300,10);}cx.fillStyle='#fff';cx.font='20px DejaVu Sans';cx.fillText('frame '+Math.floor(ts),20,150);
 requestAnimationFrame(f);})(0);}
var hd=document.getElementById('head');
if(hd){addEventListener('scroll',function(){var rs=document.querySelectorAll('tbody tr'),a=0,b=0;
 for(var i=0;i<rs.length;i++){var q=rs[i].getBoundingClientRect();if(q.bottom>hd.getBoundingClientRect().bottom&&!a)a=i+1;
 if(q.top<innerHeight)b=i+1;}hd.textContent='Rows '+a+'\u2013'+b+' of 400';});}
""" % kind
print(f"<!doctype html><html><head><meta charset=utf-8><title>Probe {kind}</title><style>{css}</style></head>"
      f"<body>{head}<main><h1 style=\"font:bold 22px 'DejaVu Sans'\">Probe page: {kind}</h1>{''.join(body)}"
      f"<p>THE END.</p></main>{foot}<script>{js}</script></body></html>")
