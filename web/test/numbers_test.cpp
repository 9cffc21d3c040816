#include "core/text.h"
#include <cstdio>
#include <random>
#include <cstring>
#include <cmath>
namespace alt { std::string shortest(double); std::string fixed(double,int); std::string general(double,int); bool chars_to_double(std::string_view,double*);}
int main(){
  std::mt19937_64 g(1); int bad=0; long n=0;
  auto check=[&](double x){ ++n;
    if(contmon::shortest(x)!=alt::shortest(x)){ if(bad++<10) printf("shortest %s %s\n",contmon::shortest(x).c_str(),alt::shortest(x).c_str());}
    for(int d: {0,1,2,3,4,6,9}) if(contmon::fixed(x,d)!=alt::fixed(x,d)){ if(bad++<10) printf("fixed %d %s %s\n",d,contmon::fixed(x,d).c_str(),alt::fixed(x,d).c_str());}
    for(int d: {1,3,6,15}) if(contmon::general(x,d)!=alt::general(x,d)){ if(bad++<10) printf("general %s %s\n",contmon::general(x,d).c_str(),alt::general(x,d).c_str());}
    std::string s=contmon::shortest(x); double a=0,b=0; bool ra=contmon::chars_to_double(s,&a), rb=alt::chars_to_double(s,&b); if(ra!=rb|| (ra&&std::memcmp(&a,&b,8))){ if(bad++<10) printf("read %s\n",s.c_str());}
  };
  for(int i=0;i<300000;i++){ uint64_t u=g(); double x; memcpy(&x,&u,8); if(std::isnan(x)) continue; check(x);}
  for(int i=0;i<300000;i++){ check(std::uniform_real_distribution<double>(0,1)(g)); check((double)(g()%100000)/1000.0); check(std::ldexp(1.0, (int)(g()%2000)-1000)); check((double)(g()%1000)/8.0);}
  for(double x: {0.0,-0.0,1e22,1e21,1e23,100000.0,1e-5,123456789.0,1e16,5e-324,1.7976931348623157e308, 0.125, 0.375, 2.5, 0.5, 1.5, -0.001}) check(x);
  for(const char*s: {"1e-400","1e400","4e-320","+1","1e-324","2.5e-324"," 1","0x10","inf","nan","1.5","0.3",".5","5.","1e5","-0"}){ double a=-1,b=-1; bool ra=contmon::chars_to_double(s,&a), rb=alt::chars_to_double(s,&b); if(ra!=rb||(ra&&memcmp(&a,&b,8))){bad++; printf("read %s %d %d\n",s,ra,rb);} }
  printf("%ld values, %d differences\n",n,bad); return bad!=0;
}
